#pragma once
// Byte layout of a dBASE III+/IV table file, as named constants. The prose version, with the
// variants seen in the wild, is in formats.md section 1.
//
//   [32-byte header][32-byte descriptor per field][0x0D (0x0A tolerated)][padding]
//   [record 1][record 2]...[0x1A]
//
// Record r (1-based) starts at header_length + (r - 1) * record_length; byte 0 of a record is
// the deletion flag.

#include <cstddef>
#include <cstdint>

namespace xbase::dbfmt {

// Table header.
inline constexpr size_t kHeaderSize = 32;
inline constexpr size_t kVersion = 0;        // u8, see below
inline constexpr size_t kUpdateYear = 1;     // u8, year - 1900 (year % 100 read too)
inline constexpr size_t kUpdateMonth = 2;    // u8, 1-12
inline constexpr size_t kUpdateDay = 3;      // u8, 1-31
inline constexpr size_t kRecordCount = 4;    // u32
inline constexpr size_t kHeaderLength = 8;   // u16, file offset of record 1
inline constexpr size_t kRecordLength = 10;  // u16, includes the deletion flag
// u8, dBASE IV's incomplete-transaction flag. We set it while rows lie in the file past the count
// (appended, not yet counted; or being cut off) and clear it with the header that counts them:
// rows past the count of a flagged file are an unfinished write's, to be dropped; of an unflagged
// one, rows the header lost count of.
inline constexpr size_t kTransaction = 14;
inline constexpr uint8_t kTransactionOpen = 0x01;
inline constexpr size_t kLanguageDriver = 29;

// Version byte: the low three bits are 3 for every dBASE III/IV-style header; bit 7 says a
// memo file is expected. FoxPro writes its own values.
inline constexpr uint8_t kVersionLevelMask = 0x07;
inline constexpr uint8_t kVersionLevel3 = 0x03;
inline constexpr uint8_t kVersionDbase3 = 0x03;
inline constexpr uint8_t kVersionFoxPro = 0x30;      // Visual FoxPro
inline constexpr uint8_t kVersionFoxProMemo = 0xF5;  // FoxPro 2.x with memo file

inline constexpr uint8_t kLanguageCp1252 = 0x03;

// Field descriptor.
inline constexpr size_t kDescriptorSize = 32;
inline constexpr size_t kFieldName = 0;      // 11 bytes, NUL padded
inline constexpr size_t kFieldNameSize = 11;
inline constexpr size_t kMaxFieldName = 10;
inline constexpr size_t kFieldType = 11;     // ASCII letter
inline constexpr size_t kFieldLength = 16;   // u8
inline constexpr size_t kFieldDecimals = 17; // u8; high byte of the length of wide C fields

inline constexpr uint8_t kTerminator = 0x0D;
inline constexpr uint8_t kTerminatorAlt = 0x0A;  // written by some old tools
inline constexpr uint8_t kEndOfFile = 0x1A;

// Deletion flag, byte 0 of a record.
inline constexpr uint8_t kActive = 0x20;
inline constexpr uint8_t kDeleted = 0x2A;

// Limits we write (readers accept more).
inline constexpr int kMaxFields = 255;
inline constexpr int kMaxCharLength = 254;
inline constexpr int kMaxNumLength = 20;
inline constexpr int kMaxDecimals = 15;
inline constexpr int kDateLength = 8;

}  // namespace xbase::dbfmt
