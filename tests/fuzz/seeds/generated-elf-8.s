	.file	"gen.c"
	.section	.text,code
	.set	___PA___,1
	.align	2
	.global	_f0	; export
	.type	_f0,@function
_f0:
.LFB0:
	.file 1 "gen.c"
	.loc 1 4 0
	mov.b	[w15-508],w4
	.loc 1 5 0
	add	w2,#13,w0
	mov	[w15-22],w3
	add	w3,w1,w3
	mov.b	w3,[w15-12]
	cpseq	w1,w1
	inc	w1,w1
	bra	.+4
_tab2:
	.pword	10839178
.L3:
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	[w15-508],w4
	dec	w8,w8
	bra	nz,.L3
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	[w15-508],w4
	mov.b	#155,w9
	cp	w8,w9
	.loc 1 8 0
	ior	w6,w9,w7
	sl	w10,#14,w7
	sub	w6,#5,w10
.LVL0:
	add	w13,#16,w1
	mov	#7032,w12
	call	___mulsi3
	return
.LFE0:
	.size	_f0, .-_f0
	.align	2
	.global	_f1	; export
	.type	_f1,@function
_f1:
.LFB1:
	.loc 1 11 0
	lnk	#22
.LCFI0:
	mov	w0,[w14]
	mov	w1,[w14+2]
	mov.b	#155,w9
	cp	w8,w9
	ior	w6,w9,w7
	sl	w10,#14,w7
	sub	w6,#5,w10
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	.loc 1 13 0
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	[w15-508],w4
	.loc 1 14 0
	mov.b	#236,w1
	repeat	#5
	div.sw	w3,w2
	cp	w4,w2
	rcall	_f0
	.loc 1 17 0
	mov	#95,w2
	mov	#0,w3
	rcall	___divsi3
.LBB0:
	mov.b	[w15-508],w3
	add	w8,#13,w7
	mov	[w15-22],w0
	add	w0,w10,w0
	mov.b	w0,[w15-12]
	cpseq	w10,w10
	inc	w10,w10
.LBE0:
	mov.b	#155,w9
	cp	w8,w9
	ior	w6,w9,w7
	sl	w10,#14,w7
	sub	w6,#5,w10
	mov.b	#236,w1
	repeat	#5
	div.sw	w3,w2
	cp	w4,w2
	ulnk
	return
.LFE1:
	.size	_f1, .-_f1
	.align	2
	.global	_f2	; export
	.type	_f2,@function
_f2:
.LFB2:
	.loc 1 18 0
	.loc 1 20 0
	cp	w0,#15
	bra	gt,.L5
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
.L5:
	mov.b	#155,w9
	cp	w8,w9
	ior	w6,w9,w7
	sl	w10,#14,w7
	sub	w6,#5,w10
	mov	#54,w2
	mov	#0,w3
	rcall	___divsi3
.LBB1:
	mov	[w15-24],w2
	add	w2,w1,w2
	mov	w2,[w15-14]
	ior	w3,w0,w5
	mov	[w15-20],w1
	add	w1,w5,w1
	mov	w1,[w15-14]
	.loc 1 21 0
	btsc	w0,#8
	inc	w5,w5
	mul.ss	w0,w3,w0
.LBE1:
	btsc	w0,#8
	inc	w5,w5
	mul.ss	w0,w3,w0
	add	w1,#12,w3
	btss	w0,#1
	inc	w1,w1
	.loc 1 23 0
	rcall	___divsi3
	clr	w5
	cp	w0,w5
	.loc 1 24 0
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	[w15-508],w4
	add	w2,#13,w0
	mov	[w15-22],w3
	add	w3,w1,w3
	mov.b	w3,[w15-12]
	cpseq	w1,w1
	inc	w1,w1
	.loc 1 26 0
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
.L4:
	return
.LFE2:
	.size	_f2, .-_f2
	.align	2
	.global	_f3	; export
	.type	_f3,@function
_f3:
.LFB3:
	.loc 1 28 0
.LVL1:
	mov.b	[w15-508],w4
.LVL2:
	add	w2,#13,w0
	mov	[w15-22],w3
	add	w3,w1,w3
	mov.b	w3,[w15-12]
	cpseq	w1,w1
	inc	w1,w1
	mov	w11,[w15++]
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	[w15-508],w4
	mov	[--w15],w11
	btsc	w0,#8
	inc	w5,w5
	mul.ss	w0,w3,w0
	add	w1,#12,w3
	btss	w0,#1
	inc	w1,w1
.LVL3:
	rcall	___divsi3
	clr	w5
	cp	w0,w5
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
.LVL4:
	mov.b	[w15-508],w4
	clr	w0
	return
.LFE3:
	.size	_f3, .-_f3
	.align	2
	.global	_f4	; export
	.type	_f4,@function
_f4:
.LFB4:
	.loc 1 31 0
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	.loc 1 34 0
.LVL5:
	cp0	w1
	bra	nz,.L6
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	return
.L6:
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	ior	w0,w3,w1
	sl	w4,#14,w1
	sub	w0,#5,w4
	mov.b	#155,w9
	cp	w8,w9
	ior	w6,w9,w7
	sl	w10,#14,w7
	sub	w6,#5,w10
	retlw	#0,w0
.LFE4:
	.size	_f4, .-_f4
	.align	2
	.global	_f5	; export
	.type	_f5,@function
_f5:
.LFB5:
	.loc 1 36 0
	lnk	#24
.LCFI1:
	mov	w0,[w14]
	mov	[w15-24],w2
	add	w2,w1,w2
	mov	w2,[w15-14]
	ior	w3,w0,w5
	mov	[w15-20],w1
	add	w1,w5,w1
	mov	w1,[w15-14]
	btsc	w0,#8
	inc	w5,w5
	mul.ss	w0,w3,w0
	mov	[w15-24],w2
	add	w2,w1,w2
	mov	w2,[w15-14]
	ior	w3,w0,w5
	mov	[w15-20],w1
	add	w1,w5,w1
	mov	w1,[w15-14]
	.loc 1 37 0
	lsr	w5,#4,w3
.L7:
	sub	w2,w1,w2
	dec	w5,w5
	bra	nz,.L7
	mov	#47,w1
.LBB2:
	btsc	w0,#8
	inc	w5,w5
	mul.ss	w0,w3,w0
	.loc 1 40 0
	add	w1,#12,w3
	btss	w0,#1
	inc	w1,w1
	rcall	___divsi3
	clr	w5
	cp	w0,w5
	.loc 1 42 0
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
.LBE2:
	.loc 1 44 0
.LBB3:
	mov	[w15-24],w2
	add	w2,w1,w2
	mov	w2,[w15-14]
	ior	w3,w0,w5
	mov	[w15-20],w1
	add	w1,w5,w1
	mov	w1,[w15-14]
	.loc 1 46 0
	lsr	w5,#4,w3
.L8:
	sub	w2,w1,w2
	dec	w5,w5
	bra	nz,.L8
	mov	#47,w1
.LBE3:
	.loc 1 47 0
	mov	[w15-24],w2
	add	w2,w1,w2
	mov	w2,[w15-14]
	ior	w3,w0,w5
	mov	[w15-20],w1
	add	w1,w5,w1
	mov	w1,[w15-14]
	lsr	w5,#4,w3
.L9:
	sub	w2,w1,w2
	dec	w5,w5
	bra	nz,.L9
	mov	#47,w1
	ulnk
	return
.LFE5:
	.size	_f5, .-_f5
	.align	2
	.type	_f6,@function
_f6:
.LFB6:
	.loc 1 49 0
	lnk	#26
.LCFI2:
	mov	w0,[w14]
	.loc 1 50 0
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	[w15-508],w4
	mov.b	[w14+252],w5
	.loc 1 52 0
	mov	[w15-24],w2
	add	w2,w1,w2
	mov	w2,[w15-14]
	ior	w3,w0,w5
	mov	[w15-20],w1
	add	w1,w5,w1
	mov	w1,[w15-14]
	lsr	w5,#4,w3
.L10:
	sub	w2,w1,w2
	dec	w5,w5
	bra	nz,.L10
	mov	#47,w1
	.loc 1 54 0
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	.loc 1 56 0
	mov	#81,w2
	mov	#0,w3
	rcall	___divsi3
	ulnk
	return
.LFE6:
	.size	_f6, .-_f6
	.align	2
	.global	_f7	; export
	.type	_f7,@function
_f7:
.LFB7:
	.loc 1 59 0
.LVL6:
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	[w15-508],w4
	cp0	w2
	bra	nz,.L11
	mov.b	w0,[w15-12]
	clr	w2
	sub	w0,w3,w3
	mov.b	[w15-508],w4
	mov	#2,w0
	return
.L11:
	.loc 1 62 0
.LVL7:
	cp0	w1
	bra	nz,.L12
	add	w1,#12,w3
	btss	w0,#1
	inc	w1,w1
	btsc	w0,#8
	inc	w5,w5
	mul.ss	w0,w3,w0
	rcall	___divsi3
	clr	w5
	cp	w0,w5
	return
.L12:
	call	_f3
	mov	#37,w2
	mov	#0,w3
	rcall	___ashlsi3
	mov.b	#155,w9
	cp	w8,w9
	ior	w6,w9,w7
	sl	w10,#14,w7
	sub	w6,#5,w10
	goto	___modsi3
.LFE7:
	.size	_f7, .-_f7
	.section	.ndata,data
	.align	2
	.global	_g0	; export
	.type	_g0,@object
_g0:
	.skip	2
	.size	_g0, 2
	.global	_g1	; export
	.type	_g1,@object
_g1:
	.skip	2
	.size	_g1, 2
	.global	_g2	; export
	.type	_g2,@object
_g2:
	.word	11091
	.size	_g2, 2
	.section	.const,psv
	.align	2
_msg:
	.asciz	"gen 764"
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
	.sleb128 -175
	.uleb128 0x2
	.asciz	"f1"
	.4byte	.LFB1
	.4byte	.LFE1
	.sleb128 -56
	.uleb128 0x2
	.asciz	"f2"
	.4byte	.LFB2
	.4byte	.LFE2
	.sleb128 -50
	.uleb128 0x2
	.asciz	"f3"
	.4byte	.LFB3
	.4byte	.LFE3
	.sleb128 -126
	.uleb128 0x2
	.asciz	"f4"
	.4byte	.LFB4
	.4byte	.LFE4
	.sleb128 -165
	.uleb128 0x2
	.asciz	"f5"
	.4byte	.LFB5
	.4byte	.LFE5
	.sleb128 -37
	.uleb128 0x2
	.asciz	"f6"
	.4byte	.LFB6
	.4byte	.LFE6
	.sleb128 -89
	.uleb128 0x2
	.asciz	"f7"
	.4byte	.LFB7
	.4byte	.LFE7
	.sleb128 -158
	.uleb128 0x3
	.4byte	.LBB0
	.4byte	.LBE0
	.uleb128 0x3
	.4byte	.LBB1
	.4byte	.LBE1
	.uleb128 0x3
	.4byte	.LBB2
	.4byte	.LBE2
	.uleb128 0x3
	.4byte	.LBB3
	.4byte	.LBE3
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
	.section	.debug_loc,info
.Ldebug_loc0:
	.4byte	.LVL0
	.4byte	.LVL1
	.4byte	.LVL2
	.4byte	.LVL3
	.4byte	.LVL4
	.4byte	.LVL5
	.4byte	.LVL6
	.4byte	.LVL7
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
