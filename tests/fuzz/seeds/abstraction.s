	.file	"calc.c"
	.section	.text,code
	.set ___PA___,1
	.align	2
	.global	_f	; export
	.type	_f,@function
_f:
.LFB0:
	lnk	#4
	mov	w0,[w14]
	mov	w1,[w14+2]
	mov	[w14],w0
	add	w0,#3,w0
	sl	w0,#2,w1
	mov	[w14+2],w2
	sub	w1,w2,w0
	cp0	w0
	bra	z,.L2
	mov	[w14],w0
	add	w0,#3,w0
	sl	w0,#2,w1
	mov	[w14+2],w2
	sub	w1,w2,w0
.L2:
	ulnk
	return
.LFE0:
	.global	_g	; export
	.type	_g,@function
_g:
.LFB1:
	lnk	#4
	mov	w0,[w14]
	mov	w1,[w14+2]
	mov	[w14],w0
	add	w0,#3,w0
	sl	w0,#2,w1
	mov	[w14+2],w2
	sub	w1,w2,w0
	btsc	w0,#15
	neg	w0,w0
	repeat	#17
	div.sw	w0,w2
	mov	[w14],w0
	add	w0,#3,w0
	sl	w0,#2,w1
	mov	[w14+2],w2
	sub	w1,w2,w0
	rcall	_f
	mov	w0,[w15++]
	mov	[--w15],w1
	ulnk
	return
.LFE1:
	.set ___PA___,0
_h:
	mov	[w14],w0
	add	w0,#3,w0
	sl	w0,#2,w1
	return
	.set ___PA___,1
	.section	.const,psv
	.align	2
_tab:
	.word	1,2,3,4
	.pword	0x123456
	.end
