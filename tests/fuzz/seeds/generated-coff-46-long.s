	.file	"gen.c"
	.section	.text,code
	.set	___PA___,1
	.align	2
	.global	_f0	; export
	.def	_f0
	.val	_f0
	.scl	2
	.type	32
	.endef
_f0:
	.def	.bf
	.val	.
	.scl	101
	.line	1
	.endef
	.ln	4
	mov	[w14+12],w2
.L2:
	xor	w1,w0,w1
	dec	w1,w1
	bra	nz,.L2
	do	#2,.L3
	add	w4,w3,w4
.L3:
	inc	w3,w3
	mov	[w15-2],w0
	add	w0,w0,w0
	mov	w0,[w15-1014]
	bclr	w1,#5
	sub	w1,#2,w5
	cp0	w3
	bra	nz,.L4
	mov	#22,w3
	repeat	#17
	div.sw	w5,w2
	call	___mulsi3
	cp	w5,w0
	and	w1,w5,w0
	cp	w5,w0
	and	w1,w5,w0
	mov	#3,w0
	return
.L4:
	cp0	w3
	bra	nz,.L5
	mov	#22,w3
	repeat	#17
	div.sw	w5,w2
	call	___mulsi3
	do	#7,.L6
	add	w5,w1,w5
.L6:
	inc	w1,w1
	call	___divsi3
	mov	[w15-24],w1
	add	w1,w5,w1
	mov	w1,[w15-18]
	return
.L5:
	mov	w10,w10
	mov	[w15-8],w10
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	.ln	5
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	mov	w10,w10
	mov	[w15-8],w10
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	.ln	7
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	mov	[w14+12],w13
.L7:
	xor	w6,w6,w6
	dec	w6,w6
	bra	nz,.L7
	do	#2,.L8
	add	w6,w6,w6
.L8:
	inc	w6,w6
	.ln	9
	mov	[w15-2],w6
	add	w6,w6,w6
	mov	w6,[w15-1014]
	bclr	w6,#5
	sub	w6,#2,w12
	goto	_f1
	.def	.ef
	.val	.
	.scl	101
	.line	9
	.endef
	.def	_f0
	.val	.
	.scl	-1
	.endef
	.align	2
	.global	_f1	; export
	.def	_f1
	.val	_f1
	.scl	2
	.type	32
	.endef
_f1:
	.def	.bf
	.val	.
	.scl	101
	.line	9
	.endef
	.ln	11
	lnk	#4
	mov	w0,[w14]
	mov	w1,[w14+2]
	.set	___PA___,0
	mov	[w15-12],w5
	.ln	12
	mov	[w14+12],w2
.L9:
	xor	w1,w0,w1
	dec	w1,w1
	bra	nz,.L9
	do	#2,.L10
	add	w4,w3,w4
.L10:
	inc	w3,w3
	.ln	14
	cp	w0,w0
	.set	___PA___,1
	.ln	16
	btss	w0,#7
	inc	w0,w0
	.ln	19
	add	w7,#8,w1
	mov	w13,[w14+98]
	mov	w10,w10
	mov	[w15-8],w10
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	.ln	21
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	mov	#2,w0
	mov	w8,[w15++]
	mov	#22,w3
	repeat	#17
	div.sw	w5,w2
	call	___mulsi3
	cp	w5,w0
	and	w1,w5,w0
	.ln	24
	cp	w5,w0
	and	w1,w5,w0
	mov	[--w15],w8
	cp	w0,#14
	bra	gt,.L11
	mov	[w14+12],w2
.L12:
	xor	w1,w0,w1
	dec	w1,w1
	bra	nz,.L12
	do	#2,.L13
	add	w4,w3,w4
.L13:
	inc	w3,w3
	mov	[w15-2],w0
	add	w0,w0,w0
	mov	w0,[w15-1014]
	bclr	w1,#5
	sub	w1,#2,w5
.L11:
	mov	[w15-2],w6
	add	w6,w6,w6
	mov	w6,[w15-1014]
	bclr	w7,#5
	sub	w7,#2,w11
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	mov	[w15-2],w6
	add	w6,w6,w6
	mov	w6,[w15-1014]
	bclr	w7,#5
	sub	w7,#2,w11
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	mov	#0,w0
	ulnk
	return
	.def	.ef
	.val	.
	.scl	101
	.line	24
	.endef
	.def	_f1
	.val	.
	.scl	-1
	.endef
	.align	2
	.global	_f2	; export
	.def	_f2
	.val	_f2
	.scl	2
	.type	32
	.endef
_f2:
	.def	.bf
	.val	.
	.scl	101
	.line	24
	.endef
	.ln	26
	mov	#22,w3
	repeat	#17
	div.sw	w5,w2
	call	___mulsi3
	cp	w5,w0
	and	w1,w5,w0
	.ln	27
	cp	w5,w0
	and	w1,w5,w0
	.ln	29
	mov	#14739,w1
	return
	.def	.ef
	.val	.
	.scl	101
	.line	29
	.endef
	.def	_f2
	.val	.
	.scl	-1
	.endef
	.section	.text.hot,code
	.align	2
	.def	_f3
	.val	_f3
	.scl	3
	.type	32
	.endef
_f3:
	.def	.bf
	.val	.
	.scl	101
	.line	29
	.endef
	.ln	30
	bset	w2,#1
	and	w0,w2,w0
	.ln	33
	mov	w4,w4
	mov	[w15-8],w4
	do	#7,.L14
	add	w5,w1,w5
.L14:
	inc	w1,w1
	call	___divsi3
	mov	[w15-24],w1
	add	w1,w5,w1
	mov	w1,[w15-18]
	cp0	w0
	bra	nz,.L15
	bset	w2,#9
	btss	w2,#2
	inc	w0,w0
	se	w5,w5
	mov.b	w1,[w14+10]
	.ln	34
	mov	w4,w4
	mov	[w15-8],w4
	bset	w2,#1
	and	w0,w2,w0
	return
.L15:
	.ln	35
	cp	w0,#6
	bra	gt,.L16
	mov	w4,w4
	mov	[w15-8],w4
	se	w5,w5
	mov.b	w1,[w14+10]
	sub	w5,#5,w4
	mov	w2,[w15-22]
	mov	w0,w1
.L16:
	bset	w2,#9
	btss	w2,#2
	inc	w0,w0
	.ln	38
	se	w5,w5
	mov.b	w1,[w14+10]
	mov	w4,w4
	mov	[w15-8],w4
	.ln	40
	bset	w2,#1
	and	w0,w2,w0
	repeat	#17
	div.sw	w9,w7
	repeat	#17
	div.sw	w9,w7
	.ln	42
	bset	w8,#1
	and	w6,w8,w6
	bset	w8,#1
	and	w6,w8,w6
	.ln	43
	cp0	w1
	bra	nz,.L17
	mov	w4,w4
	mov	[w15-8],w4
	.ln	46
	se	w5,w5
	mov.b	w1,[w14+10]
	.ln	48
	sub	w5,#5,w4
	mov	w2,[w15-22]
	mov	w0,w1
	return
.L17:
	mov	w4,w4
	mov	[w15-8],w4
	.ln	51
	se	w5,w5
	mov.b	w1,[w14+10]
	bra	___divsi3
	.def	.ef
	.val	.
	.scl	101
	.line	51
	.endef
	.def	_f3
	.val	.
	.scl	-1
	.endef
	.section	.text,code
	.align	2
	.global	_f4	; export
	.def	_f4
	.val	_f4
	.scl	2
	.type	32
	.endef
_f4:
	.def	.bf
	.val	.
	.scl	101
	.line	51
	.endef
	.ln	53
	lnk	#20
	mov	w8,[w15++]
	mov	w9,[w15++]
	.ln	54
	mov	w10,w10
	mov	[w15-8],w10
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	.ln	55
	mov	#22,w3
	repeat	#17
	div.sw	w5,w2
	call	___mulsi3
	.ln	57
	cp	w5,w0
	and	w1,w5,w0
	.ln	60
	cp	w5,w0
	and	w1,w5,w0
	mov	[w15-12],w5
	.ln	61
	mov	[w14+12],w2
.L18:
	xor	w1,w0,w1
	dec	w1,w1
	bra	nz,.L18
	do	#2,.L19
	add	w4,w3,w4
.L19:
	inc	w3,w3
	.ln	62
	cp	w0,w0
	mov	w4,w4
	mov	[w15-8],w4
	se	w5,w5
	mov.b	w1,[w14+10]
	.ln	64
	sub	w5,#5,w4
	mov	w2,[w15-22]
	mov	w0,w1
	mov	w10,w10
	mov	[w15-8],w10
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	.ln	67
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	mov	w10,w10
	mov	[w15-8],w10
	.ln	70
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	bset	w11,#0
	mov	[w15-10],w11
	add	w11,w11,w11
	mov	w11,[w15-10]
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	repeat	#17
	div.sw	w13,w3
	.ln	73
	repeat	#17
	div.sw	w13,w3
	.ln	76
	bset	w13,#1
	and	w5,w13,w5
	bset	w13,#1
	and	w5,w13,w5
	mov	#1,w0
	mov	[--w15],w9
	mov	[--w15],w8
	ulnk
	return
	.def	.ef
	.val	.
	.scl	101
	.line	76
	.endef
	.def	_f4
	.val	.
	.scl	-1
	.endef
	.align	2
_pad:
	.space	0x20000
	.section	.text.hot,code
	.align	2
	.global	_f5	; export
	.def	_f5
	.val	_f5
	.scl	2
	.type	32
	.endef
_f5:
	.def	.bf
	.val	.
	.scl	101
	.line	76
	.endef
	.ln	78
	lnk	#24
	mov	w0,[w14]
	mov	w1,[w14+2]
	mov	w8,[w15++]
	.ln	81
	mov	[w15-2],w6
	add	w6,w6,w6
	mov	w6,[w15-1014]
	bclr	w7,#5
	sub	w7,#2,w11
	.ln	83
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	repeat	#17
	div.sw	w9,w7
	repeat	#17
	div.sw	w9,w7
	bset	w8,#1
	and	w6,w8,w6
	bset	w8,#1
	and	w6,w8,w6
	.ln	86
	mov	[w15-2],w6
	add	w6,w6,w6
	mov	w6,[w15-1014]
	bclr	w7,#5
	sub	w7,#2,w11
	bset	w8,#9
	btss	w8,#2
	inc	w6,w6
	.ln	88
	btsc	w3,#4
	inc	w0,w0
	bset	w2,#9
	btss	w2,#2
	inc	w0,w0
	se	w5,w5
	mov.b	w1,[w14+10]
	.ln	89
	mov	w4,w4
	mov	[w15-8],w4
	bset	w2,#1
	and	w0,w2,w0
	mov	#4910,w7
	mov	[--w15],w8
	ulnk
	clr	w0
	return
	.def	.ef
	.val	.
	.scl	101
	.line	89
	.endef
	.def	_f5
	.val	.
	.scl	-1
	.endef
	.section	.ndata,data
	.align	2
	.global	_g0	; export
	.def	_g0
	.val	_g0
	.scl	2
	.type	4
	.size	2
	.endef
_g0:
	.word	59297
	.global	_g1	; export
	.def	_g1
	.val	_g1
	.scl	2
	.type	4
	.size	2
	.endef
_g1:
	.skip	2
	.global	_g2	; export
	.def	_g2
	.val	_g2
	.scl	2
	.type	4
	.size	2
	.endef
_g2:
	.skip	2
	.section	.const,psv
	.align	2
_msg:
	.asciz	"gen 705"
	.section	.text,code
	.set	___PA___,0
	.ident	"GCC: (gen) 4.5.1"
	.end
