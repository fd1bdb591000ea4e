#include "runtime/formats.h"

#include <cctype>

namespace tavrelo::standin {

namespace {

std::uint32_t le16(std::string_view b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t le32(std::string_view b, std::size_t at) {
    return le16(b, at) | (le16(b, at + 2) << 16);
}
std::uint32_t be16(std::string_view b, std::size_t at) {
    return (static_cast<unsigned char>(b[at]) << 8) | static_cast<unsigned char>(b[at + 1]);
}
std::uint32_t be32(std::string_view b, std::size_t at) {
    return (be16(b, at) << 16) | be16(b, at + 2);
}

// A small inflater after the reference decoder's canonical-Huffman method.
class Inflater {
public:
    explicit Inflater(std::string_view in) : in_(in) {}

    bool run(std::string& out) {
        int last = 0;
        do {
            last = bits(1);
            const int type = bits(2);
            bool ok = false;
            if (failed_) return false;
            if (type == 0) ok = stored();
            else if (type == 1) ok = fixed();
            else if (type == 2) ok = dynamic();
            if (!ok || failed_) return false;
        } while (!last);
        out = std::move(out_);
        return true;
    }

private:
    struct Huffman {
        short count[16] = {};
        short symbol[320] = {};
    };

    int bits(int need) {
        long value = bitBuffer_;
        while (bitCount_ < need) {
            if (at_ >= in_.size()) {
                failed_ = true;
                return 0;
            }
            value |= static_cast<long>(static_cast<unsigned char>(in_[at_++])) << bitCount_;
            bitCount_ += 8;
        }
        bitBuffer_ = static_cast<int>(value >> need);
        bitCount_ -= need;
        return static_cast<int>(value & ((1L << need) - 1));
    }

    bool stored() {
        bitBuffer_ = 0;
        bitCount_ = 0;
        if (at_ + 4 > in_.size()) return false;
        const std::uint32_t length = le16(in_, at_);
        const std::uint32_t check = le16(in_, at_ + 2);
        at_ += 4;
        if (length != (~check & 0xFFFF) || at_ + length > in_.size()) return false;
        out_.append(in_.substr(at_, length));
        at_ += length;
        return true;
    }

    int decode(const Huffman& h) {
        int code = 0, first = 0, index = 0;
        for (int length = 1; length <= 15; ++length) {
            code |= bits(1);
            if (failed_) return -1;
            const int count = h.count[length];
            if (code - count < first) return h.symbol[index + (code - first)];
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        return -1;
    }

    static bool construct(Huffman& h, const short* lengths, int n) {
        for (short& c : h.count) c = 0;
        for (int s = 0; s < n; ++s) h.count[lengths[s]]++;
        if (h.count[0] == n) return true;
        int left = 1;
        for (int length = 1; length <= 15; ++length) {
            left <<= 1;
            left -= h.count[length];
            if (left < 0) return false;
        }
        short offsets[16] = {};
        for (int length = 1; length < 15; ++length) offsets[length + 1] = static_cast<short>(offsets[length] + h.count[length]);
        for (int s = 0; s < n; ++s)
            if (lengths[s] != 0) h.symbol[offsets[lengths[s]]++] = static_cast<short>(s);
        return true;
    }

    bool codes(const Huffman& lengthCode, const Huffman& distanceCode) {
        static const short lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const short lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const short distanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                               33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        static const short distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        for (;;) {
            int symbol = decode(lengthCode);
            if (symbol < 0) return false;
            if (symbol < 256) {
                out_.push_back(static_cast<char>(symbol));
                continue;
            }
            if (symbol == 256) return true;
            symbol -= 257;
            if (symbol >= 29) return false;
            const int length = lengthBase[symbol] + bits(lengthExtra[symbol]);
            const int distanceSymbol = decode(distanceCode);
            if (distanceSymbol < 0 || distanceSymbol >= 30) return false;
            const std::size_t distance =
                static_cast<std::size_t>(distanceBase[distanceSymbol] + bits(distanceExtra[distanceSymbol]));
            if (failed_ || distance > out_.size()) return false;
            for (int i = 0; i < length; ++i) out_.push_back(out_[out_.size() - distance]);
        }
    }

    bool fixed() {
        Huffman lengthCode, distanceCode;
        short lengths[320];
        int s = 0;
        for (; s < 144; ++s) lengths[s] = 8;
        for (; s < 256; ++s) lengths[s] = 9;
        for (; s < 280; ++s) lengths[s] = 7;
        for (; s < 288; ++s) lengths[s] = 8;
        construct(lengthCode, lengths, 288);
        for (s = 0; s < 30; ++s) lengths[s] = 5;
        construct(distanceCode, lengths, 30);
        return codes(lengthCode, distanceCode);
    }

    bool dynamic() {
        static const short order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        const int literals = bits(5) + 257;
        const int distances = bits(5) + 1;
        const int codeLengths = bits(4) + 4;
        if (failed_ || literals > 286 || distances > 30) return false;
        short lengths[320] = {};
        for (int i = 0; i < codeLengths; ++i) lengths[order[i]] = static_cast<short>(bits(3));
        Huffman lengthCode, distanceCode;
        if (!construct(lengthCode, lengths, 19)) return false;
        int index = 0;
        while (index < literals + distances) {
            int symbol = decode(lengthCode);
            if (symbol < 0) return false;
            if (symbol < 16) {
                lengths[index++] = static_cast<short>(symbol);
                continue;
            }
            short length = 0;
            if (symbol == 16) {
                if (index == 0) return false;
                length = lengths[index - 1];
                symbol = 3 + bits(2);
            } else if (symbol == 17) {
                symbol = 3 + bits(3);
            } else {
                symbol = 11 + bits(7);
            }
            if (index + symbol > literals + distances) return false;
            while (symbol--) lengths[index++] = length;
        }
        if (!construct(lengthCode, lengths, literals) || !construct(distanceCode, lengths + literals, distances))
            return false;
        return codes(lengthCode, distanceCode);
    }

    std::string_view in_;
    std::size_t at_ = 0;
    int bitBuffer_ = 0;
    int bitCount_ = 0;
    bool failed_ = false;
    std::string out_;
};

} // namespace

bool inflate(std::string_view data, std::string& out) {
    return Inflater(data).run(out);
}

bool readArchive(std::string_view bytes, std::vector<ArchiveEntry>& entries, std::string& error) {
    entries.clear();
    if (bytes.size() < 22) {
        error = "zip END header not found";
        return false;
    }
    std::size_t end = std::string_view::npos;
    const std::size_t lowest = bytes.size() > 22 + 65535 ? bytes.size() - 22 - 65535 : 0;
    for (std::size_t at = bytes.size() - 22 + 1; at-- > lowest;)
        if (le32(bytes, at) == 0x06054b50) {
            end = at;
            break;
        }
    if (end == std::string_view::npos) {
        error = "zip END header not found";
        return false;
    }
    const std::uint32_t count = le16(bytes, end + 10);
    std::size_t at = le32(bytes, end + 16);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (at + 46 > bytes.size() || le32(bytes, at) != 0x02014b50) {
            error = "invalid CEN header";
            return false;
        }
        ArchiveEntry e;
        e.method = le16(bytes, at + 10);
        e.compressedSize = le32(bytes, at + 20);
        e.size = le32(bytes, at + 24);
        const std::uint32_t nameLength = le16(bytes, at + 28);
        const std::uint32_t extraLength = le16(bytes, at + 30);
        const std::uint32_t commentLength = le16(bytes, at + 32);
        e.localOffset = le32(bytes, at + 42);
        if (at + 46 + nameLength > bytes.size()) {
            error = "invalid CEN header";
            return false;
        }
        e.name = std::string(bytes.substr(at + 46, nameLength));
        entries.push_back(std::move(e));
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

bool entryContent(std::string_view bytes, const ArchiveEntry& entry, std::string& out, std::string& error) {
    const std::size_t at = entry.localOffset;
    if (at + 30 > bytes.size() || le32(bytes, at) != 0x04034b50) {
        error = "invalid LOC header";
        return false;
    }
    const std::size_t data = at + 30 + le16(bytes, at + 26) + le16(bytes, at + 28);
    if (data + entry.compressedSize > bytes.size()) {
        error = "invalid entry size";
        return false;
    }
    const std::string_view raw = bytes.substr(data, entry.compressedSize);
    if (entry.method == 0) {
        out = std::string(raw);
        return true;
    }
    if (entry.method == 8 && inflate(raw, out)) return true;
    error = "invalid entry compressed data";
    return false;
}

std::vector<std::pair<std::string, std::string>> manifestMainAttributes(std::string_view manifest) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t at = 0;
    while (at < manifest.size()) {
        std::size_t end = manifest.find('\n', at);
        if (end == std::string_view::npos) end = manifest.size();
        std::string_view line = manifest.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) break; // the main section ends at the first blank line
        if (line[0] == ' ') {
            if (!out.empty()) out.back().second.append(line.substr(1));
            continue;
        }
        const std::size_t colon = line.find(": ");
        if (colon == std::string_view::npos) continue;
        out.emplace_back(std::string(line.substr(0, colon)), std::string(line.substr(colon + 2)));
    }
    return out;
}

bool decodeImage(std::string_view b, int& width, int& height, std::vector<std::uint32_t>& pixels) {
    pixels.clear();
    auto grey = [&](long w, long h) {
        if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
        width = static_cast<int>(w);
        height = static_cast<int>(h);
        pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0xFF808080u);
        return true;
    };
    if (b.size() >= 24 && b.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8))
        return grey(static_cast<long>(be32(b, 16)), static_cast<long>(be32(b, 20)));
    if (b.size() >= 10 && (b.substr(0, 6) == "GIF87a" || b.substr(0, 6) == "GIF89a"))
        return grey(static_cast<long>(le16(b, 6)), static_cast<long>(le16(b, 8)));
    if (b.size() >= 4 && static_cast<unsigned char>(b[0]) == 0xFF && static_cast<unsigned char>(b[1]) == 0xD8) {
        std::size_t at = 2;
        while (at + 9 < b.size()) {
            if (static_cast<unsigned char>(b[at]) != 0xFF) return false;
            const unsigned marker = static_cast<unsigned char>(b[at + 1]);
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
                return grey(static_cast<long>(be16(b, at + 7)), static_cast<long>(be16(b, at + 5)));
            at += 2 + be16(b, at + 2);
        }
        return false;
    }
    if (b.size() >= 54 && b[0] == 'B' && b[1] == 'M') {
        const std::uint32_t offset = le32(b, 10);
        const auto w = static_cast<std::int32_t>(le32(b, 18));
        const auto h = static_cast<std::int32_t>(le32(b, 22));
        const std::uint32_t bitsPerPixel = le16(b, 28);
        const std::uint32_t compression = le32(b, 30);
        if (w <= 0 || h == 0 || w > 16384 || h > 16384 || h < -16384 || (compression != 0 && compression != 3) ||
            (bitsPerPixel != 24 && bitsPerPixel != 32))
            return false;
        const long rows = h < 0 ? -static_cast<long>(h) : h;
        const std::size_t stride = (static_cast<std::size_t>(w) * (bitsPerPixel / 8) + 3) & ~static_cast<std::size_t>(3);
        if (offset + stride * static_cast<std::size_t>(rows) > b.size()) return false;
        width = w;
        height = static_cast<int>(rows);
        pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(rows));
        for (long y = 0; y < rows; ++y) {
            const long source = h < 0 ? y : rows - 1 - y; // bottom-up unless the height is negative
            const std::size_t row = offset + stride * static_cast<std::size_t>(source);
            for (long x = 0; x < w; ++x) {
                const std::size_t p = row + static_cast<std::size_t>(x) * (bitsPerPixel / 8);
                const std::uint32_t blue = static_cast<unsigned char>(b[p]);
                const std::uint32_t green = static_cast<unsigned char>(b[p + 1]);
                const std::uint32_t red = static_cast<unsigned char>(b[p + 2]);
                pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
                    0xFF000000u | (red << 16) | (green << 8) | blue;
            }
        }
        return true;
    }
    return false;
}

} // namespace tavrelo::standin
