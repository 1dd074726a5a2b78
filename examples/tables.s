	.file	"tables.c"
	.set ___PA___,1
	.section	.const,code
	.align	2
	.global	_sine_table	; export
_sine_table:
	.pword	0x000000, 0x0c8b, 0x18f9, 0x2528
	.pword	0x30fb, 0x3c56, 0x471c, 0x5133
	.global	_banner
_banner:
	.ascii	"Vellor"
	.asciz	" ok"
	.section	.ndata,data
	.align	2
	.global	_ticks	; export
_ticks:
	.word	0
	.global	_gain
_gain:
	.float	1.5
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
