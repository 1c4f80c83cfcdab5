// Intel HEX as PIC assemblers and compilers write it: INHX8M (data and
// end-of-file records) and INHX32 (the same with extended linear address
// records). The reader checks every line and stops at the first fault, so a
// caller never acts on a file it has not read whole.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What is wrong and where: line is 1-based, 0 for the file as a whole.
struct HexError {
    int line = 0;
    std::string what;
};

// The bytes of one data record at their full byte address.
struct HexData {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
    int line = 0;
};

// Reads the whole text. A UTF-8 byte-order mark, LF, CR LF or CR line ends,
// blank lines and blanks around a record are allowed; start address records
// (03, 05) are skipped; anything else that is not a well-formed record of
// type 00, 01, 02 or 04 with a correct checksum, a record after the
// end-of-file record, or a missing end-of-file record is refused with its line.
bool ReadIntelHex(std::string_view text, std::vector<HexData>& data, HexError& error);

// INHX32 text: an extended linear address record wherever the upper half of
// the address changes (always first), data records of at most 16 bytes, the
// end-of-file record. Lines end with "\n".
std::string WriteIntelHex(std::span<const HexData> blocks);

// "строка 12: неверная контрольная сумма ..." or just the text for line 0.
std::string DescribeHexError(const HexError& error);
