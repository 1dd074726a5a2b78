	.file	"gen.c"
	.section	.text,code
	.set	___PA___,1
	.align	2
	.global	_f0	; export
	.type	_f0,@function
_f0:
.LFB0:
	.file 1 "gen.c"
	.loc 1 3 0
	cpseq	w7,w8
	inc	w6,w6
	add	w11,#8,w1
	mov	#59376,w9
	call	_f0
	.loc 1 6 0
	.set	___PA___,0
	repeat	#19
	div.sw	w0,w7
	mov.b	[w15-501],w11
	and	w7,w0,w12
	cp0	w11
	bra	lt,.L3
	add	w11,#2,w11
.L3:
	.loc 1 9 0
	call	___ashlsi3
	.set	___PA___,1
	se	w11,w11
	mov.b	w7,[w15-13]
	repeat	#17
	div.sw	w8,w9
	mov.b	w7,[w14+10]
	mov.b	w7,[w15-13]
	repeat	#17
	div.sw	w8,w9
	mov.b	w7,[w14+10]
	.loc 1 11 0
	add	w4,#22,w8
.L4:
.L5:
	and	w4,w3,w4
	mov	w4,[w15-24]
	dec	w3,w3
	bra	nz,.L5
	mov	[w15-24],w3
	add	w3,w2,w3
	mov	w3,[w15-12]
	.loc 1 13 0
	repeat	#17
	div.sw	w3,w1
	repeat	#17
	div.sw	w2,w3
	repeat	#5
	div.sw	w0,w1
	repeat	#19
	div.sw	w0,w2
	dec	w11,w9
	bra	nz,.L4
.L2:
	return
.LFE0:
	.size	_f0, .-_f0
	.section	text_b,code
	.align	2
	.global	_f1	; export
	.type	_f1,@function
_f1:
.LFB1:
	.loc 1 15 0
	.loc 1 17 0
	repeat	#19
	div.sw	w0,w2
	mov.b	[w15-501],w4
	and	w2,w0,w1
	cp0	w5
	bra	lt,.L6
	add	w4,#2,w4
.L6:
	.loc 1 18 0
	call	___ashlsi3
	cp0	w2
	bra	nz,.L7
	se	w11,w11
	.loc 1 20 0
	mov.b	w7,[w15-13]
	repeat	#17
	div.sw	w8,w9
	mov.b	w7,[w14+10]
	mov.b	w7,[w15-13]
	repeat	#17
	div.sw	w8,w9
	mov.b	w7,[w14+10]
	return
.L7:
	repeat	#17
	div.sw	w9,w7
	repeat	#17
	div.sw	w8,w9
	repeat	#5
	div.sw	w6,w7
	return
.LFE1:
	.size	_f1, .-_f1
	.section	.text,code
	.align	2
	.global	_f2	; export
	.type	_f2,@function
_f2:
.LFB2:
	.loc 1 23 0
	btsc	w0,#11
	return
	mov	#71,w2
	mov	#0,w3
	rcall	___udivsi3
	cp0	w1
	bra	nz,.L8
	mov	w1,[w15-4]
	mov	#5,w2
	rcall	___lshrsi3
	mov	#16,w0
	mul.ss	w4,w4,w2
.L9:
	and	w4,w3,w4
	mov	w4,[w15-24]
	dec	w3,w3
	bra	nz,.L9
	mov	[w15-24],w3
	add	w3,w2,w3
	mov	w3,[w15-12]
	return
.L8:
	.loc 1 25 0
	cp0	w1
	bra	nz,.L10
	mov	w1,[w15-4]
	mov	#5,w2
	rcall	___lshrsi3
	.loc 1 26 0
	mov	#16,w0
	mul.ss	w4,w4,w2
	.loc 1 27 0
.L11:
	and	w4,w3,w4
	mov	w4,[w15-24]
	dec	w3,w3
	bra	nz,.L11
	mov	[w15-24],w3
	add	w3,w2,w3
	mov	w3,[w15-12]
	mov	#1,w0
	return
.L10:
	repeat	#19
	div.sw	w0,w2
	.loc 1 30 0
	mov.b	[w15-501],w4
	and	w2,w0,w1
	cp0	w5
	bra	lt,.L12
	add	w4,#2,w4
.L12:
	.loc 1 31 0
	call	___ashlsi3
	mov	#0,w0
	return
.LFE2:
	.size	_f2, .-_f2
	.align	2
	.global	_f3	; export
	.type	_f3,@function
_f3:
.LFB3:
	.loc 1 34 0
	lnk	#6
.LCFI0:
	mov	#49,w2
	mov	#0,w3
	rcall	___mulsi3
.L14:
	repeat	#17
	div.sw	w9,w7
	repeat	#17
	div.sw	w8,w9
	repeat	#5
	div.sw	w6,w7
	dec	w10,w8
	bra	nz,.L14
	.loc 1 37 0
	cp0	w6
	bra	lt,.L15
	add	w7,#7,w7
.L15:
	mov	#56,w6
	ze	w7,w6
	.loc 1 38 0
	repeat	#17
	div.sw	w3,w1
	repeat	#17
	div.sw	w2,w3
	repeat	#5
	div.sw	w0,w1
	.loc 1 40 0
	mov.b	[w15-501],w4
	and	w2,w0,w1
	cp0	w5
	bra	lt,.L16
	add	w4,#2,w4
.L16:
	.loc 1 41 0
	mov	#16,w0
	mul.ss	w4,w4,w2
	repeat	#19
	div.sw	w0,w2
	mov.b	[w15-501],w4
	and	w2,w0,w1
	cp0	w5
	bra	lt,.L17
	add	w4,#2,w4
.L17:
	.loc 1 43 0
	call	___ashlsi3
	.loc 1 44 0
	btsc	w1,#12
	bra	.L13
.L13:
	ulnk
	return
.LFE3:
	.size	_f3, .-_f3
	.section	.text.hot,code
	.align	2
	.global	_f4	; export
	.type	_f4,@function
_f4:
.LFB4:
	.loc 1 46 0
	mov	w8,[w15++]
	mov	w9,[w15++]
	repeat	#19
	div.sw	w0,w7
	.loc 1 49 0
	mov.b	[w15-501],w11
	and	w7,w0,w12
	cp0	w11
	bra	lt,.L18
	add	w11,#2,w11
.L18:
	call	___ashlsi3
	.loc 1 52 0
	call	_f3
	mov	#1,w2
	mov	#0,w3
	rcall	___ashlsi3
	bra	.+4
_tab19:
	.pword	14471833
	mov	[--w15],w9
	mov	[--w15],w8
	clr	w0
	return
.LFE4:
	.size	_f4, .-_f4
	.align	2
	.global	_f5	; export
	.type	_f5,@function
_f5:
.LFB5:
	.loc 1 55 0
	lnk	#22
.LCFI1:
	mov	w0,[w14]
	mov	w1,[w14+2]
	.loc 1 57 0
	call	_f2
	.loc 1 60 0
	repeat	#19
	div.sw	w3,w6
	mov.b	[w15-501],w11
	and	w6,w3,w11
	cp0	w7
	bra	lt,.L20
	add	w11,#2,w11
.L20:
	call	___ashlsi3
	mov.b	[w14+347],w5
	repeat	#19
	div.sw	w0,w2
	mov.b	[w15-501],w4
	and	w2,w0,w1
	cp0	w5
	bra	lt,.L21
	add	w4,#2,w4
.L21:
	call	___ashlsi3
	cpseq	w1,w2
	inc	w0,w0
	.loc 1 61 0
	call	___ashlsi3
	.loc 1 63 0
	call	_f0
	se	w11,w11
	.loc 1 66 0
	mov.b	w7,[w15-13]
	repeat	#17
	div.sw	w8,w9
	mov.b	w7,[w14+10]
	.loc 1 68 0
	mov.b	w7,[w15-13]
	repeat	#17
	div.sw	w8,w9
	mov.b	w7,[w14+10]
	ulnk
	clr	w0
	return
.LFE5:
	.size	_f5, .-_f5
	.section	text_b,code
	.align	2
	.global	_f6	; export
	.type	_f6,@function
_f6:
.LFB6:
	.loc 1 70 0
	lnk	#2
.LCFI2:
	mov	#61,w2
	mov	#0,w3
	rcall	___mulsi3
	.loc 1 71 0
	se	w11,w11
	.loc 1 74 0
	mov.b	w7,[w15-13]
	repeat	#17
	div.sw	w8,w9
	mov.b	w7,[w14+10]
	.loc 1 75 0
	mov.b	w7,[w15-13]
	repeat	#17
	div.sw	w8,w9
	mov.b	w7,[w14+10]
	cpseq	w1,w2
	inc	w0,w0
	.loc 1 76 0
	call	___ashlsi3
.LBB0:
	repeat	#19
	div.sw	w0,w2
	mov.b	[w15-501],w4
	and	w2,w0,w1
	cp0	w5
	bra	lt,.L22
	add	w4,#2,w4
.L22:
	.loc 1 79 0
	call	___ashlsi3
.LBE0:
	.loc 1 82 0
	bra	.+4
_tab23:
	.pword	2374154
	cpseq	w1,w2
	inc	w0,w0
	call	___ashlsi3
	.loc 1 84 0
	repeat	#17
	div.sw	w3,w1
	repeat	#17
	div.sw	w2,w3
	repeat	#5
	div.sw	w0,w1
	mov.b	[w15-501],w4
	and	w2,w0,w1
	cp0	w5
	bra	lt,.L24
	add	w4,#2,w4
.L24:
	mov	#16,w0
	mul.ss	w4,w4,w2
	mov	#0,w0
	ulnk
	return
.LFE6:
	.size	_f6, .-_f6
	.section	.text,code
	.align	2
	.global	_f7	; export
	.type	_f7,@function
_f7:
.LFB7:
	.loc 1 86 0
	lnk	#30
.LCFI3:
	mov	w0,[w14]
	repeat	#17
	div.sw	w3,w1
	repeat	#17
	div.sw	w2,w3
	repeat	#5
	div.sw	w0,w1
	mov.b	[w15-501],w4
	and	w2,w0,w1
	cp0	w5
	bra	lt,.L25
	add	w4,#2,w4
.L25:
	mov	#16,w0
	mul.ss	w4,w4,w2
	.loc 1 88 0
.L26:
	and	w4,w3,w4
	mov	w4,[w15-24]
	dec	w3,w3
	bra	nz,.L26
	mov	[w15-24],w3
	add	w3,w2,w3
	mov	w3,[w15-12]
	repeat	#17
	div.sw	w3,w1
	repeat	#17
	div.sw	w2,w3
	repeat	#5
	div.sw	w0,w1
	repeat	#19
	div.sw	w0,w2
	ulnk
	return
.LFE7:
	.size	_f7, .-_f7
	.align	2
_pad:
	.space	0x20000
	.section	.ndata,data
	.align	2
	.global	_g0	; export
	.type	_g0,@object
_g0:
	.word	46068
	.size	_g0, 2
	.global	_g1	; export
	.type	_g1,@object
_g1:
	.word	37113
	.size	_g1, 2
	.global	_g2	; export
	.type	_g2,@object
_g2:
	.word	9249
	.size	_g2, 2
	.section	.const,psv
	.align	2
_msg:
	.asciz	"gen 547"
	.section	.debug_info,info
.Ldebug_info0:
	.4byte	0x108
	.2byte	0x2
	.4byte	.Ldebug_abbrev0
	.byte	0x4
	.uleb128 0x1
	.asciz	"GNU C 4.5.1"
	.4byte	.Ldebug_line0
	.uleb128 0x2
	.asciz	"f0"
	.4byte	.LFB0
	.4byte	.LFE0
	.sleb128 -40
	.uleb128 0x2
	.asciz	"f1"
	.4byte	.LFB1
	.4byte	.LFE1
	.sleb128 -50
	.uleb128 0x2
	.asciz	"f2"
	.4byte	.LFB2
	.4byte	.LFE2
	.sleb128 -179
	.uleb128 0x2
	.asciz	"f3"
	.4byte	.LFB3
	.4byte	.LFE3
	.sleb128 -78
	.uleb128 0x2
	.asciz	"f4"
	.4byte	.LFB4
	.4byte	.LFE4
	.sleb128 -31
	.uleb128 0x2
	.asciz	"f5"
	.4byte	.LFB5
	.4byte	.LFE5
	.sleb128 -44
	.uleb128 0x2
	.asciz	"f6"
	.4byte	.LFB6
	.4byte	.LFE6
	.sleb128 -14
	.uleb128 0x2
	.asciz	"f7"
	.4byte	.LFB7
	.4byte	.LFE7
	.sleb128 -163
	.uleb128 0x3
	.4byte	.LBB0
	.4byte	.LBE0
	.byte	0x0
	.section	.debug_abbrev,info
.Ldebug_abbrev0:
	.uleb128 0x1
	.uleb128 0x11
	.byte	0x1
	.byte	0x0
	.section	.debug_frame,info
.Lframe0:
	.4byte	.LECIE0-.LSCIE0
.LSCIE0:
	.4byte	0xffffffff
	.byte	0x1
	.uleb128 0x1
	.sleb128 2
.LECIE0:
	.4byte	.LFB0
	.4byte	.LFE0-.LFB0
	.4byte	.LFB1
	.4byte	.LFE1-.LFB1
	.4byte	.LFB2
	.4byte	.LFE2-.LFB2
	.4byte	.LFB3
	.4byte	.LFE3-.LFB3
	.4byte	.LFB4
	.4byte	.LFE4-.LFB4
	.4byte	.LFB5
	.4byte	.LFE5-.LFB5
	.4byte	.LFB6
	.4byte	.LFE6-.LFB6
	.4byte	.LFB7
	.4byte	.LFE7-.LFB7
	.section	.debug_line,info
.Ldebug_line0:
	.4byte	.LELT0-.LSLT0
.LSLT0:
	.2byte	0x2
.LELT0:
	.section	.text,code
	.set	___PA___,0
	.ident	"GCC: (gen) 4.5.1"
	.end
