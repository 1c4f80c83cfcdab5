// libFuzzer target for pic-prog's Intel HEX reader and the PIC16F84A image
// built from it. The input is the file's text, read as it is and once more
// with each record's byte count and checksum made right, so that changed
// addresses, types and data get past them. Besides not crashing:
//   - a refused file says why, at a line the file has;
//   - the bytes of an accepted file, written out again, read back to the
//     same bytes at the same addresses;
//   - an image accepted for the chip holds only what it can (14-bit words,
//     bytes in data memory), and written out again reads back the same.
#include "chip_image.h"
#include "intel_hex.h"
#include "intel_hex_sums.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

// Lines as the reader counts them: LF, CR LF and a lone CR each end one.
int Lines(std::string_view text)
{
    int lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++lines;
    const bool open = !text.empty() && text.back() != '\n' && text.back() != '\r';
    return lines + (open ? 1 : 0);
}

// The bytes of the blocks by address; nullopt-like false when one address
// is given twice differently.
bool ByteMap(const std::vector<HexData>& data, std::map<uint32_t, uint8_t>& bytes)
{
    for (const HexData& block : data)
        for (std::size_t i = 0; i < block.bytes.size(); ++i) {
            const auto [at, fresh] = bytes.emplace(block.address + static_cast<uint32_t>(i), block.bytes[i]);
            if (!fresh && at->second != block.bytes[i])
                return false;
        }
    return true;
}

void CheckImage(const ChipInfo& chip, const ChipImage& image)
{
    for (const std::vector<ImageCell>* cells : {&image.program, &image.ids})
        for (const ImageCell& cell : *cells)
            Check(cell.value <= chip.wordMask);
    for (const ImageCell& cell : image.data)
        Check(cell.value <= 0xFF);
    Check(image.config.value <= chip.wordMask);

    std::vector<HexData> data;
    HexError error;
    ChipImage back;
    Check(ReadIntelHex(WriteIntelHex(HexOfImage(chip, image)), data, error));
    Check(ImageFromHex(chip, data, back, error));
    const auto same = [](const std::vector<ImageCell>& a, const std::vector<ImageCell>& b) {
        return std::ranges::equal(a, b, [](const ImageCell& x, const ImageCell& y) { return x.value == y.value; });
    };
    Check(same(back.program, image.program) && same(back.data, image.data) && same(back.ids, image.ids) &&
          back.config.value == image.config.value && back.config2.value == image.config2.value);
}

void CheckReading(std::string_view text)
{
    std::vector<HexData> data;
    HexError error;
    if (!ReadIntelHex(text, data, error)) {
        Check(!error.what.empty() && error.line >= 0 && error.line <= Lines(text));
        return;
    }
    for (const HexData& block : data)
        Check(block.line >= 1 && block.line <= Lines(text) && !block.bytes.empty());

    std::map<uint32_t, uint8_t> bytes;
    if (ByteMap(data, bytes)) {
        std::vector<HexData> again;
        Check(ReadIntelHex(WriteIntelHex(data), again, error));
        std::map<uint32_t, uint8_t> bytesAgain;
        Check(ByteMap(again, bytesAgain) && bytesAgain == bytes);
    }

    const ChipInfo& chip = *ChipByName("PIC16F84A");
    ChipImage image;
    if (!ImageFromHex(chip, data, image, error)) {
        Check(!error.what.empty() && error.line >= 1 && error.line <= Lines(text));
        return;
    }
    CheckImage(chip, image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckAsIsAndWithRightSums(data, size, CheckReading);
    return 0;
}
