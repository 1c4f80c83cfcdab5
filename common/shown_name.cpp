#include "shown_name.h"

std::string ShownName(std::string_view name)
{
    // Counted in code points, so the cut never splits a Cyrillic letter;
    // a stray byte that starts no sequence counts as one character.
    std::size_t characters = 0;
    std::size_t keepBytes = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if ((static_cast<unsigned char>(name[i]) & 0xC0) == 0x80)
            continue;
        ++characters;
        if (characters == kShownNameCharacters)
            keepBytes = i;
        if (characters > kShownNameCharacters)
            return std::string(name.substr(0, keepBytes)) + "…";
    }
    return std::string(name);
}
