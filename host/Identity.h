// The effect's identity and capability words, in one place.
//
// Included by the C++ sources (PluginDataEntryFunction, GlobalSetup) and by
// every property-list resource script, so the host sees the same values
// whichever way it asks. Plain preprocessor definitions only: the resource
// compilers understand nothing else.
#ifndef ZF_IDENTITY_H
#define ZF_IDENTITY_H

#define ZF_NAME "Zarnit Chromatic Aberration"
#define ZF_NAME_LENGTH 27
#define ZF_MATCH_NAME "zarnit_chromaber"
#define ZF_MATCH_NAME_LENGTH 16
#define ZF_CATEGORY "Zarnit"
#define ZF_CATEGORY_LENGTH 6
#define ZF_ENTRY_POINT "EffectMain"
#define ZF_ENTRY_POINT_LENGTH 10

// 'eFKT': an After Effects effect.
#define ZF_KIND 0x65464B54

// Effect interface version the effect is written against.
#define ZF_API_MAJOR 13
#define ZF_API_MINOR 27
#define ZF_RESERVED_INFO 8

// Property-list format version.
#define ZF_PIPL_MAJOR 2
#define ZF_PIPL_MINOR 0

// Version 2.0.0, stage develop, build 1, packed the host's way:
// major << 19 | minor << 15 | bug << 11 | stage << 9 | build.
#define ZF_MAJOR_VERSION 2
#define ZF_MINOR_VERSION 0
#define ZF_BUG_VERSION 0
#define ZF_STAGE_VERSION 0
#define ZF_BUILD_VERSION 1
#define ZF_VERSION 0x00100001
#define ZF_VERSION_TEXT "2.0.0.1"

#define ZF_INFO_FLAGS 0

// NON_PARAM_VARY | USE_OUTPUT_EXTENT | I_EXPAND_BUFFER | CUSTOM_UI | DEEP_COLOR_AWARE
#define ZF_OUT_FLAGS 0x02008244
// PARAM_GROUP_START_COLLAPSED_FLAG | REVEALS_ZERO_ALPHA | SUPPORTS_SMART_RENDER |
// FLOAT_COLOR_AWARE | AUTOMATIC_WIDE_TIME_INPUT | SUPPORTS_THREADED_RENDERING
#define ZF_OUT_FLAGS2 0x08021488

#endif
