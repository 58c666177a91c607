#include "server/formats/ebcdic.h"

namespace kesto::formats {

namespace {

void translate(std::span<char> bytes, const ByteTable& table) {
    for (char& c : bytes) {
        c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    }
}

}  // namespace

void translate_to_ebcdic(std::span<char> bytes) {
    translate(bytes, ascii_to_ebcdic);
}

void translate_to_ascii(std::span<char> bytes) {
    translate(bytes, ebcdic_to_ascii);
}

}  // namespace kesto::formats
