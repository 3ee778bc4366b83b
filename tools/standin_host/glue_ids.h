/* Numbers shared by the stand-in's assembly and its C++: plain defines so that the
   preprocessed assembly can use them too. */
#ifndef STANDIN_GLUE_IDS_H
#define STANDIN_GLUE_IDS_H

/* Host addresses the assembly jumps to, as indices into standin_jump[]. */
#define J_LOOP_TOP 0
#define J_FLIGHT_SITE 1
#define J_HIT_CMP 2
#define J_BRANCH_A 3
#define J_BRANCH_B 4
#define J_AFTER_HIT 5
#define J_BRANCH_C 6
#define J_STEPEND 7
#define J_ADVANCE 8
#define J_TL_TOP 9
#define J_COLOUR 10
#define J_TL_ADVANCE 11
#define J_TRACE_ROUTINE 12
#define J_EPILOGUE 13
#define J_RESET 14
#define J_MAKE 15
#define J_SNIPER 16
#define J_M4 17
#define J_COUNT 18

/* Host jump slots (dwords at kJumpSlots) through which host code enters the stand-in. */
#define H_PL_TOP 0
#define H_PL_AFTER_FF 1
#define H_PL_HIT3 2
#define H_PL_HIT_OTHER 3
#define H_BRA_FELL 4
#define H_BRA_TAKEN 5
#define H_BRB_FELL 6
#define H_BRB_TAKEN 7
#define H_AFTER_HIT 8
#define H_BRC_FELL 9
#define H_BRC_TAKEN 10
#define H_AFTER_STEPEND 11
#define H_PL_EXIT 12
#define H_TL_TOP 13
#define H_TL_AFTER_COLOUR 14
#define H_TL_EXIT 15
#define H_TR_BODY 16
#define H_RESET_AFTER 17
#define H_MAKE_ORIG 18
#define H_SNIPER_ORIG 19
#define H_M4_ORIG 20
#define H_LINE_TEST 21
#define H_WEAPON_INFO 22
#define H_SHOOTER_SKILL 23
#define H_SURFACE_CLASS 24
#define H_EFFECT_CREATE 25
#define H_EFFECT_START 26
#define H_EFFECT_FINISH 27
#define H_AREA_IMPACT 28
#define H_COUNT 29

/* What the stand-in was about to run when it took a register snapshot. */
#define S_PLAIN 0
#define S_FLIGHT 1
#define S_IMPACT 2
#define S_STEPEND 3
#define S_LOOP_END 4
#define S_COLOUR 5
#define S_TRACE_END 6
#define S_TRACE_CALLER 7
#define S_EPILOGUE 8
#define S_RESET 9
#define S_SHOT 10
#define S_COUNT 11

/* Where the stand-in's code got control back. */
#define R_LOOP_TOP 0
#define R_FLIGHT 1
#define R_HIT3 2
#define R_HIT_OTHER 3
#define R_AFTER_HIT 4
#define R_STEPEND 5
#define R_LOOP_EXIT 6
#define R_PLAIN 7
#define R_TL_TOP 8
#define R_COLOUR 9
#define R_TL_EXIT 10
#define R_TRACE_BODY 11
#define R_TRACE_RETURN 12
#define R_RESET 13
#define R_SHOT 14
#define R_COUNT 15

/* The word a caller keeps just above the arguments it pushes for a shot routine. */
#define STACK_CANARY 0x5AFE57AC

/* Branch observations (host_branch argument). */
#define B_A_TAKEN 0
#define B_A_FELL 1
#define B_B_TAKEN 2
#define B_B_FELL 3
#define B_C_TAKEN 4
#define B_C_FELL 5

/* Which register set host_canaries writes. */
#define C_BODY 0
#define C_CALLER 1
#define C_ROUTINE 2

#endif
