// Expands a source rewritten by procedural abstraction back into plain
// code, so that assembling the expansion must give the original program.
//
// The expansion reads the two texts only. It knows the shapes of the lines
// the writer puts at call sites and in bodies, and nothing of the program's
// own search, records or encoders: that the expansion assembles to the
// original image is evidence about the rewrite, not agreement of two copies
// of one algorithm.
//
// What it does, in the order of the rewritten text:
// - every "rcall"/"call .LPAn ; a ... b" becomes the body of .LPAn, run one
//   call level deeper; a tail jump ("bra"/"goto .LPAn", or the comment form
//   ";bra"/";goto" that falls into the next body) inside a body continues
//   with the callee's body at the same level;
// - every "bra"/"goto .LPAn" into an opened body becomes as many
//   instructions of the text written in place under .LPAn as the site's
//   source lines a..b held;
// - a body's closing "retlw #k,wn" goes back to "mov #k,wn", a closing
//   "bra"/"goto routine" back to "rcall"/"call routine", and the return the
//   writer added is dropped;
// - a W15-relative operand in code that runs d call levels deep gets back
//   4 x d bytes (the return addresses pushed on the way);
// - the bodies, the writer's .LPA labels and the section line before the
//   bodies are dropped. Labels inside a copied body keep their names in
//   the first copy and get fresh ones, with the branches that name them,
//   in every other copy.
//
// It also refuses rewrites whose meaning a comparison of images cannot
// show: code running below the site that leaves its body other than by the
// writer's endings (a return, a jump out, a jump into an opened body), that
// reads or moves the stack pointer as a register, or that sets up or drops
// a frame (LNK, ULNK); and a skip or REPEAT right before a call site or a
// body's ending, which would act on the call or the return instead of one
// instruction of the original.
#pragma once

#include <string>
#include <string_view>

// Expands `rewritten` (the -o output for `original`) into `expanded`.
// False, with the reason in `why`, when the rewritten text is not a shape
// the writer makes or breaks one of the rules above.
bool proof_expand_abstraction(std::string_view original, std::string_view rewritten, std::string& expanded,
                              std::string& why);
