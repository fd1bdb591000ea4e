// Draws the launchers' icon and writes it as an .ico file with nine images: 48, 32 and 16
// pixels at 4 bits, then the same sizes at 8 bits, then at 24 bits, in that order (the order
// fixes the icon identifiers 1 to 9 once the resource compiler has read the file).
//
// The icon is committed as apps/common/tavrelo.ico so that builds need no host tool. To redraw:
//   g++ -std=c++20 -O2 -o /tmp/make_icon apps/common/make_icon.cpp && /tmp/make_icon apps/common/tavrelo.ico
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Rgb {
    double r, g, b;
};

constexpr Rgb kTeal{15 / 255.0, 120 / 255.0, 135 / 255.0};
constexpr Rgb kWhite{247 / 255.0, 247 / 255.0, 242 / 255.0};
constexpr Rgb kAmber{250 / 255.0, 158 / 255.0, 31 / 255.0};

// The picture on a unit square: a teal tile with rounded corners, a white "T" and an amber
// spark at its upper right. Returns the coverage of the tile (0 outside) and the colour there.
bool tileAt(double x, double y, Rgb& colour) {
    const double inset = 0.04, radius = 0.2;
    const double lo = inset + radius, hi = 1 - inset - radius;
    const double cx = std::fmin(std::fmax(x, lo), hi), cy = std::fmin(std::fmax(y, lo), hi);
    if (std::hypot(x - cx, y - cy) > radius) return false;

    colour = kTeal;
    const bool bar = y >= 0.22 && y <= 0.36 && x >= 0.20 && x <= 0.80;
    const bool stem = x >= 0.43 && x <= 0.57 && y >= 0.22 && y <= 0.82;
    if (bar || stem) colour = kWhite;
    if (std::hypot(x - 0.77, y - 0.66) <= 0.10) colour = kAmber;
    return true;
}

// One rendered image: colours and a transparency mask, top row first.
struct Image {
    int size;
    std::vector<Rgb> pixels;
    std::vector<bool> opaque;
};

Image render(int size) {
    Image image{size, std::vector<Rgb>(static_cast<std::size_t>(size * size)),
                std::vector<bool>(static_cast<std::size_t>(size * size))};
    const int samples = 6;
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            Rgb sum{0, 0, 0};
            int covered = 0;
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx) {
                    Rgb c;
                    if (!tileAt((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size, c)) continue;
                    sum.r += c.r, sum.g += c.g, sum.b += c.b;
                    ++covered;
                }
            const std::size_t at = static_cast<std::size_t>(py * size + px);
            image.opaque[at] = covered * 2 >= samples * samples;
            if (covered) image.pixels[at] = {sum.r / covered, sum.g / covered, sum.b / covered};
        }
    return image;
}


struct Colour {
    std::uint8_t r, g, b;
};

std::vector<Colour> vgaPalette() {
    return {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
            {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
            {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
}

std::uint8_t channel(double v) { return static_cast<std::uint8_t>(std::lround(std::fmin(std::fmax(v, 0), 1) * 255)); }

// A 6×6×6 colour cube, 37 greys and the picture's own three colours.
std::vector<Colour> cubePalette() {
    std::vector<Colour> palette;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                                   static_cast<std::uint8_t>(b * 51)});
    for (int i = 0; i < 37; ++i) {
        const auto v = static_cast<std::uint8_t>(i * 255 / 36);
        palette.push_back({v, v, v});
    }
    for (const Rgb& c : {kTeal, kWhite, kAmber}) palette.push_back({channel(c.r), channel(c.g), channel(c.b)});
    return palette;
}

int nearest(const std::vector<Colour>& palette, Rgb c) {
    int best = 0;
    double bestDistance = 1e9;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const double dr = palette[i].r - c.r * 255, dg = palette[i].g - c.g * 255, db = palette[i].b - c.b * 255;
        const double d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) bestDistance = d, best = static_cast<int>(i);
    }
    return best;
}

void put16(std::string& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, unsigned v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The image as an icon resource: header, palette, colour rows and mask rows, bottom row first.
std::string iconImage(const Image& image, int bits) {
    const int size = image.size;
    const std::vector<Colour> palette = bits == 4 ? vgaPalette() : bits == 8 ? cubePalette() : std::vector<Colour>{};
    const unsigned paletteEntries = bits == 4 ? 16 : bits == 8 ? 256 : 0;
    const int colourStride = ((size * bits + 31) / 32) * 4;
    const int maskStride = ((size + 31) / 32) * 4;

    std::string out;
    put32(out, 40);
    put32(out, static_cast<unsigned>(size));
    put32(out, static_cast<unsigned>(size * 2)); // colour rows and mask rows
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    put32(out, 0);
    put32(out, static_cast<unsigned>((colourStride + maskStride) * size));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (unsigned i = 0; i < paletteEntries; ++i) {
        const Colour c = i < palette.size() ? palette[i] : Colour{0, 0, 0};
        out.push_back(static_cast<char>(c.b));
        out.push_back(static_cast<char>(c.g));
        out.push_back(static_cast<char>(c.r));
        out.push_back(0);
    }
    for (int y = size - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(colourStride), '\0');
        for (int x = 0; x < size; ++x) {
            const std::size_t at = static_cast<std::size_t>(y * size + x);
            const Rgb c = image.opaque[at] ? image.pixels[at] : Rgb{0, 0, 0};
            if (bits == 24) {
                row[static_cast<std::size_t>(x * 3)] = static_cast<char>(channel(c.b));
                row[static_cast<std::size_t>(x * 3 + 1)] = static_cast<char>(channel(c.g));
                row[static_cast<std::size_t>(x * 3 + 2)] = static_cast<char>(channel(c.r));
            } else if (bits == 8) {
                row[static_cast<std::size_t>(x)] = static_cast<char>(image.opaque[at] ? nearest(palette, c) : 0);
            } else {
                const int index = image.opaque[at] ? nearest(palette, c) : 0;
                row[static_cast<std::size_t>(x / 2)] |= static_cast<char>(x % 2 ? index : index << 4);
            }
        }
        out += row;
    }
    for (int y = size - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(maskStride), '\0');
        for (int x = 0; x < size; ++x)
            if (!image.opaque[static_cast<std::size_t>(y * size + x)])
                row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
        out += row;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
        return 2;
    }
    struct Entry {
        int size, bits;
        std::string bytes;
    };
    std::vector<Entry> entries;
    for (int bits : {4, 8, 24})
        for (int size : {48, 32, 16}) entries.push_back({size, bits, iconImage(render(size), bits)});

    std::string file;
    put16(file, 0);
    put16(file, 1); // icon
    put16(file, static_cast<unsigned>(entries.size()));
    unsigned offset = static_cast<unsigned>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        file.push_back(static_cast<char>(e.size));
        file.push_back(static_cast<char>(e.size));
        file.push_back(static_cast<char>(e.bits == 4 ? 16 : 0)); // colour count; 0 means 256 or more
        file.push_back(0);
        put16(file, 1);
        put16(file, static_cast<unsigned>(e.bits));
        put32(file, static_cast<unsigned>(e.bytes.size()));
        put32(file, offset);
        offset += static_cast<unsigned>(e.bytes.size());
    }
    for (const Entry& e : entries) file += e.bytes;

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
