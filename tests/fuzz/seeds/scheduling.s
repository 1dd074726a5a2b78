	.section	.text,code
	.global	_s
_s:
	mov	w0,w1
	mov	w2,w3
	.set ___BP___,80
	bra	z,.L2
	mov	w4,w5
	add	w1,w3,w6
.L2:
	mov	[w1],w7
	add	w7,w7,w8
	.set ___BP___,20
	cp	w8,w0
	bra	ge,.L3
	tblrdl	[w2],w3
	clr	a
	mac	w4*w5,a,[w8]+=2,w4,[w10]+=2,w5
	sac.r	a,#0,w0
	call	_ext
	goto	.L3
	btss	w0,#3
	inc	w0,w0
.L3:
	do	#3,.L4
	mov	w0,[w1++]
.L4:
	nop
	retlw	#0,w0
	.section	.text2,code
_t:
	mov	w0,w1
	bra	_t
	.end
