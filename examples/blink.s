	.file	"blink.c"
	.section	.text,code
	.set ___PA___,1
	.align	2
	.global	_toggle	; export
	.type	_toggle,@function
_toggle:
.LFB0:
	.file 1 "blink.c"
	.loc 1 4 0
	lnk	#2
.LCFI0:
	mov	w0,[w14]
	.loc 1 5 0
	mov	[w14],w0
	com	w0,w0
	.loc 1 6 0
	ulnk	
	return	
.LFE0:
	.size	_toggle, .-_toggle
	.align	2
	.global	_main	; export
	.type	_main,@function
_main:
.LFB1:
	.loc 1 10 0
	lnk	#2
.LCFI1:
	clr	w0
	mov	w0,[w14]
.L3:
	.loc 1 12 0
	mov	[w14],w0
	rcall	_toggle
	mov	w0,[w14]
	.loc 1 13 0
	bra	.L3
.LFE1:
	.size	_main, .-_main
	.section	.debug_frame,info
.Lframe0:
	.4byte	.LECIE0-.LSCIE0
.LSCIE0:
	.4byte	0xffffffff
	.byte	0x1
	.uleb128 0x1
	.sleb128 2
.LECIE0:
	.end
