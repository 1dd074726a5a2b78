	.file	"filter.c"
	.section	.text,code
	.set	___PA___,1
	.align	2
	.global	_filter_add	; export
	.type	_filter_add,@function
_filter_add:
.LFB0:
	.loc 1 4 0
	lnk	#6
.LCFI0:
	mov	w0,[w14]
	mov	w1,[w14+2]
	.loc 1 5 0
	mov	[w14],w0
	mov	[w14+2],w1
	add	w0,w1,w0
	mov	w0,[w14+4]
	.loc 1 6 0
	mov	[w14+4],w0
	ulnk
	return
.LFE0:
	.size	_filter_add, .-_filter_add
	.align	2
	.global	_filter_sub	; export
	.type	_filter_sub,@function
_filter_sub:
.LFB1:
	.loc 1 9 0
	lnk	#6
.LCFI1:
	mov	w0,[w14]
	mov	w1,[w14+2]
	.loc 1 10 0
	mov	[w14],w0
	mov	[w14+2],w1
	sub	w0,w1,w0
	mov	w0,[w14+4]
	.loc 1 11 0
	mov	[w14+4],w0
	ulnk
	return
.LFE1:
	.size	_filter_sub, .-_filter_sub
	.align	2
	.global	_filter_and	; export
	.type	_filter_and,@function
_filter_and:
.LFB2:
	.loc 1 14 0
	lnk	#6
.LCFI2:
	mov	w0,[w14]
	mov	w1,[w14+2]
	.loc 1 15 0
	mov	[w14],w0
	mov	[w14+2],w1
	and	w0,w1,w0
	mov	w0,[w14+4]
	.loc 1 16 0
	mov	[w14+4],w0
	ulnk
	return
.LFE2:
	.size	_filter_and, .-_filter_and
	.section	.debug_line,info
.Ldebug_line0:
	.4byte	.LELT0-.LSLT0
.LSLT0:
	.2byte	0x2
.LELT0:
	.section	.text,code
	.set	___PA___,0
	.end
