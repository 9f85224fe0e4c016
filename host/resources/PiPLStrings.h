// String items of a Windows property list, for the resource compiler.
//
// Resource scripts have no one-byte item and cannot compute a string escape,
// so the length byte of a Pascal string and the NULs that pad a string item
// to a multiple of 4 bytes come from these tables, indexed by the string's
// length n. A Pascal string (length byte, n characters) and a C string
// (n characters, NUL) both take n + 1 bytes, so they share the padding.
// The host caps names at 31 characters; the tables stop there.
#ifndef ZF_PIPL_STRINGS_H
#define ZF_PIPL_STRINGS_H

#define ZF_PASTE_(a, b) a##b
#define ZF_PASTE(a, b) ZF_PASTE_(a, b)

// A 32-bit item: any long operand makes the whole expression 32-bit.
#define ZF_DWORD(x) ((x) | 0L)

// Bytes of a string item of n characters once padded: n + 1 rounded up to 4.
#define ZF_STRING_ITEM_SIZE(n) ZF_DWORD(((n) + 4) / 4 * 4)

#define ZF_PSTRING(n, s) ZF_PASTE(ZF_LENGTH_BYTE_, n) s ZF_PASTE(ZF_PAD_, n)
#define ZF_CSTRING(n, s) s "\0" ZF_PASTE(ZF_PAD_, n)

#define ZF_LENGTH_BYTE_1 "\001"
#define ZF_LENGTH_BYTE_2 "\002"
#define ZF_LENGTH_BYTE_3 "\003"
#define ZF_LENGTH_BYTE_4 "\004"
#define ZF_LENGTH_BYTE_5 "\005"
#define ZF_LENGTH_BYTE_6 "\006"
#define ZF_LENGTH_BYTE_7 "\007"
#define ZF_LENGTH_BYTE_8 "\010"
#define ZF_LENGTH_BYTE_9 "\011"
#define ZF_LENGTH_BYTE_10 "\012"
#define ZF_LENGTH_BYTE_11 "\013"
#define ZF_LENGTH_BYTE_12 "\014"
#define ZF_LENGTH_BYTE_13 "\015"
#define ZF_LENGTH_BYTE_14 "\016"
#define ZF_LENGTH_BYTE_15 "\017"
#define ZF_LENGTH_BYTE_16 "\020"
#define ZF_LENGTH_BYTE_17 "\021"
#define ZF_LENGTH_BYTE_18 "\022"
#define ZF_LENGTH_BYTE_19 "\023"
#define ZF_LENGTH_BYTE_20 "\024"
#define ZF_LENGTH_BYTE_21 "\025"
#define ZF_LENGTH_BYTE_22 "\026"
#define ZF_LENGTH_BYTE_23 "\027"
#define ZF_LENGTH_BYTE_24 "\030"
#define ZF_LENGTH_BYTE_25 "\031"
#define ZF_LENGTH_BYTE_26 "\032"
#define ZF_LENGTH_BYTE_27 "\033"
#define ZF_LENGTH_BYTE_28 "\034"
#define ZF_LENGTH_BYTE_29 "\035"
#define ZF_LENGTH_BYTE_30 "\036"
#define ZF_LENGTH_BYTE_31 "\037"

#define ZF_PAD_1 "\0\0"
#define ZF_PAD_2 "\0"
#define ZF_PAD_3 ""
#define ZF_PAD_4 "\0\0\0"
#define ZF_PAD_5 "\0\0"
#define ZF_PAD_6 "\0"
#define ZF_PAD_7 ""
#define ZF_PAD_8 "\0\0\0"
#define ZF_PAD_9 "\0\0"
#define ZF_PAD_10 "\0"
#define ZF_PAD_11 ""
#define ZF_PAD_12 "\0\0\0"
#define ZF_PAD_13 "\0\0"
#define ZF_PAD_14 "\0"
#define ZF_PAD_15 ""
#define ZF_PAD_16 "\0\0\0"
#define ZF_PAD_17 "\0\0"
#define ZF_PAD_18 "\0"
#define ZF_PAD_19 ""
#define ZF_PAD_20 "\0\0\0"
#define ZF_PAD_21 "\0\0"
#define ZF_PAD_22 "\0"
#define ZF_PAD_23 ""
#define ZF_PAD_24 "\0\0\0"
#define ZF_PAD_25 "\0\0"
#define ZF_PAD_26 "\0"
#define ZF_PAD_27 ""
#define ZF_PAD_28 "\0\0\0"
#define ZF_PAD_29 "\0\0"
#define ZF_PAD_30 "\0"
#define ZF_PAD_31 ""

#endif
