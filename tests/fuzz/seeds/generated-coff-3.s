	.file	"gen.c"
	.section	.text,code
	.set	___PA___,1
	.section	.text.f0,code
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
	cp0	w2
	bra	nz,.L2
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	return
.L2:
	.set	___PA___,0
.L3:
	ior	w0,w1,w0
	dec	w0,w0
	bra	nz,.L3
	mov.b	w4,[w14+15]
	mov	#4,w3
	cp	w0,w4
	.ln	5
	do	#7,.L4
	add	w0,w2,w0
.L4:
	inc	w2,w2
	repeat	#17
	div.sw	w0,w1
	repeat	#2
	div.sw	w2,w3
	.ln	7
	cp	w2,w0
	neg	w4,w3
	.set	___PA___,1
	.ln	8
	mov	[w14+10],w5
	repeat	#17
	div.sw	w5,w1
	retlw	#1,w0
	.def	.ef
	.val	.
	.scl	101
	.line	8
	.endef
	.def	_f0
	.val	.
	.scl	-1
	.endef
	.section	.text.f1,code
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
	.line	8
	.endef
	.ln	11
	lnk	#26
	.ln	14
	mul.ss	w2,w2,w2
	mov	w0,w5
	mov	w1,[w14+20]
	mov	w1,[w14+68]
.L5:
	cp	w8,w6
	neg	w10,w9
	dec	w12,w13
	bra	nz,.L5
	mov.b	[w14+336],w5
	cp	w0,#14
	bra	gt,.L6
	mul.ss	w2,w2,w2
	mov	w0,w5
	mov	w1,[w14+20]
.L6:
	.set	___PA___,0
	mov	w10,[w14+20]
	mul.ss	w6,w6,w10
	.set	___PA___,1
	call	_f3
	.ln	16
	mov	#75,w2
	mov	#0,w3
	rcall	___mulsi3
	ulnk
	return
	.def	.ef
	.val	.
	.scl	101
	.line	16
	.endef
	.def	_f1
	.val	.
	.scl	-1
	.endef
	.section	.text.f2,code
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
	.line	16
	.endef
	.ln	17
	mov	w8,[w15++]
	mov	w9,[w15++]
	.ln	19
	mov	#97,w2
	mov	#0,w3
	rcall	___divsi3
	mov	#16,w2
	mov	#0,w3
	rcall	___divsi3
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	.ln	20
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	.ln	21
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov	[--w15],w9
	mov	[--w15],w8
	return
	.def	.ef
	.val	.
	.scl	101
	.line	21
	.endef
	.def	_f2
	.val	.
	.scl	-1
	.endef
	.section	.text.f3,code
	.align	2
	.global	_f3	; export
	.def	_f3
	.val	_f3
	.scl	2
	.type	32
	.endef
_f3:
	.def	.bf
	.val	.
	.scl	101
	.line	21
	.endef
	.ln	24
	mov	w8,[w15++]
	mov	w9,[w15++]
	mul.ss	w2,w5,w2
	mov.b	[w15-12],w3
	add	w3,w2,w3
	mov.b	w3,[w15-3]
	call	___ashlsi3
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	.ln	27
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov	w10,[w14+20]
	mul.ss	w6,w6,w10
	mov	w10,[w14+20]
	mul.ss	w6,w6,w10
	mov	#15458,w4
	mul.ss	w2,w2,w2
	mov	w0,w5
	mov	w1,[w14+20]
	mov	#5,w2
	mov	#0,w3
	rcall	___ashlsi3
.L7:
	mov	[--w15],w9
	mov	[--w15],w8
	return
	.def	.ef
	.val	.
	.scl	101
	.line	27
	.endef
	.def	_f3
	.val	.
	.scl	-1
	.endef
	.section	.text.f4,code
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
	.line	27
	.endef
	.ln	28
	lnk	#12
	mov	w0,[w14]
	mov	w1,[w14+2]
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov.b	[w14+140],w10
	mov	w9,[w14+248]
	.ln	30
	call	_f6
	mov	w13,[w14+328]
	mov	w11,[w14+76]
.L8:
	ior	w0,w1,w0
	dec	w0,w0
	bra	nz,.L8
	mov.b	w4,[w14+15]
	mov	#4,w3
	cp	w0,w4
	do	#7,.L9
	add	w0,w2,w0
.L9:
	inc	w2,w2
	repeat	#17
	div.sw	w0,w1
	repeat	#2
	div.sw	w2,w3
	cp	w2,w0
	neg	w4,w3
	ulnk
	clr	w0
	return
	.def	.ef
	.val	.
	.scl	101
	.line	30
	.endef
	.def	_f4
	.val	.
	.scl	-1
	.endef
	.section	.text.f5,code
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
	.line	30
	.endef
	.ln	32
	lnk	#18
	mov	w0,[w14]
	.ln	34
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
.L10:
	ior	w0,w1,w0
	dec	w0,w0
	bra	nz,.L10
	mov.b	w4,[w14+15]
	.ln	35
	mul.ss	w2,w2,w2
	mov	w0,w5
	mov	w1,[w14+20]
	mov	[w14+10],w5
	repeat	#17
	div.sw	w5,w1
	ulnk
	bra	___divsi3
	.def	.ef
	.val	.
	.scl	101
	.line	35
	.endef
	.def	_f5
	.val	.
	.scl	-1
	.endef
	.section	.text.f6,code
	.align	2
	.global	_f6	; export
	.def	_f6
	.val	_f6
	.scl	2
	.type	32
	.endef
_f6:
	.def	.bf
	.val	.
	.scl	101
	.line	35
	.endef
	.ln	37
	lnk	#28
	mov	w0,[w14]
	mov	w1,[w14+2]
	btss	w4,#10
	inc	w0,w0
	mov	w10,[w14+20]
	mul.ss	w6,w6,w10
	.set	___PA___,0
	mov	w10,[w14+20]
	mul.ss	w6,w6,w10
	.set	___PA___,1
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
.L11:
	ior	w0,w1,w0
	dec	w0,w0
	bra	nz,.L11
	mov.b	w4,[w14+15]
	asr	w8,#2,w8
	mul.ss	w6,w13,w8
	repeat	#17
	div.sw	w13,w8
	ulnk
	clr	w0
	return
	.def	.ef
	.val	.
	.scl	101
	.line	37
	.endef
	.def	_f6
	.val	.
	.scl	-1
	.endef
	.section	.text.f7,code
	.align	2
	.global	_f7	; export
	.def	_f7
	.val	_f7
	.scl	2
	.type	32
	.endef
_f7:
	.def	.bf
	.val	.
	.scl	101
	.line	37
	.endef
	.ln	39
	mov	[w14+10],w5
	repeat	#17
	div.sw	w5,w1
.L12:
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	dec	w8,w11
	bra	nz,.L12
	.set	___PA___,0
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	.set	___PA___,1
	mov	#4,w3
	cp	w0,w4
	bset	w5,#6
	inc	w5,w1
	add	w0,#14,w0
	mul.ss	w2,w5,w2
	mov.b	[w15-12],w3
	add	w3,w2,w3
	mov.b	w3,[w15-3]
	call	___ashlsi3
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	.ln	42
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	.ln	44
	mov.b	[w15-11],w0
	add	w0,w4,w0
	mov	w0,[w15-16]
	mov	#63,w5
	asr	w4,#2,w4
	mul.ss	w0,w5,w4
	repeat	#17
	div.sw	w5,w4
	cp	w8,w6
	neg	w10,w9
	cp0	w2
	bra	nz,.L13
	cp	w8,w6
	neg	w10,w9
	mov	#1,w0
	return
.L13:
	mov	#6,w2
	mov	#0,w3
	rcall	___modsi3
	mov	[w14+10],w5
	repeat	#17
	div.sw	w5,w1
	retlw	#0,w0
	.def	.ef
	.val	.
	.scl	101
	.line	44
	.endef
	.def	_f7
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
	.word	15428
	.section	.const,psv
	.align	2
_msg:
	.asciz	"gen 469"
	.section	.debug_line,info
.Ldebug_line0:
	.long	.LELT0-.LSLT0
.LSLT0:
	.word	0x2
.LELT0:
	.section	.text,code
	.set	___PA___,0
	.ident	"GCC: (gen) 4.5.1"
	.end
