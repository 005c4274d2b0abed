#include "wizard/artwork.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

std::uint32_t Rgb(int r, int g, int b) noexcept {
    auto clamp = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
    return clamp(r) << 16 | clamp(g) << 8 | clamp(b);
}

std::uint32_t Mix(std::uint32_t a, std::uint32_t b, double t) noexcept {
    auto channel = [&](int shift) {
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        return static_cast<int>(std::lround(ca + (cb - ca) * t));
    };
    return Rgb(channel(16), channel(8), channel(0));
}

// A 32-bit top-down DIB section filled from 0x00RRGGBB pixels.
HBITMAP CreateDib(int width, int height, const std::uint32_t* pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) return nullptr;
    auto* out = static_cast<std::uint32_t*>(bits);
    std::copy(pixels, pixels + width * height, out);
    return bitmap;
}

}  // namespace

double BannerArtworkStartAt(double row) noexcept {
    // From column 261 on row 15 to column 216 on row 69: inside the window
    // (which shows the picture from column 43) the edge runs from 218 to 173.
    return 261.0 - std::trunc(45.0 * (row - 15.0) / 54.0);
}

int BannerArtworkStart(int row) noexcept { return static_cast<int>(BannerArtworkStartAt(row)); }

namespace {

// The colour at a point of the picture, in the coordinates of its 500 x 70
// design: the same expressions at every size, so the design size itself
// comes out pixel for pixel as it always has.
std::uint32_t BannerColorAt(double x, double y) noexcept {
    const std::uint32_t white = Rgb(255, 255, 255);
    const double start = BannerArtworkStartAt(y);
    if (x < std::max(start, 0.0)) return white;
    // Light where the description's last words lie over it, deep at the right.
    const std::uint32_t pale = Rgb(206, 226, 244), deep = Rgb(16, 52, 120);
    const double t = (x - start) / (kBannerWidth - start);
    std::uint32_t c = Mix(pale, deep, std::clamp((t - 0.2) * 1.6, 0.0, 1.0));
    // A soft highlight along the slanted edge.
    if (x - start < 3) c = Mix(c, white, 0.55 - 0.15 * (x - start));
    // Concentric tracks of a disk platter.
    const double cx = 452, cy = 40;
    const double r = std::hypot((x - cx) * 0.9, (y - cy) * 1.6);
    if (r < 58) {
        const bool track = static_cast<int>(r) % 9 < 2;
        c = Mix(c, Rgb(230, 240, 250), track ? 0.45 : 0.12);
        if (r < 6) c = Rgb(250, 250, 255);
    }
    // A small bar chart left of the platter: used space, drive by drive.
    const int heights[] = {18, 30, 24, 38, 14};
    const double bottom = 64;
    for (int i = 0; i < 5; ++i) {
        const double left = 372 + i * 9;
        if (x >= left && x < left + 6 && y >= bottom - heights[i] && y < bottom)
            c = Mix(Rgb(255, 196, 64), Rgb(255, 140, 32), (bottom - y) / 40.0);
    }
    return c;
}

}  // namespace

std::vector<std::uint32_t> BannerPixels(int width, int height) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    const double sx = double(width) / kBannerWidth, sy = double(height) / kBannerHeight;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            // Each pixel's centre, in the design's coordinates.
            pixels[static_cast<size_t>(y) * width + x] =
                BannerColorAt((x + 0.5) / sx - 0.5, (y + 0.5) / sy - 0.5);
    return pixels;
}

unique_hbitmap CreateBannerBitmap(SIZE size) {
    const auto pixels = BannerPixels(size.cx, size.cy);
    return unique_hbitmap(CreateDib(size.cx, size.cy, pixels.data()));
}

unique_hicon CreateWizardIcon() {
    // A drive platter with a pie slice of used space, as a 256-colour image.
    constexpr int n = 16;
    std::vector<std::uint32_t> palette;
    std::uint8_t indexes[n * n] = {};
    std::uint8_t mask[n * n / 8] = {};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double dx = x - 7.5, dy = y - 7.5, r = std::hypot(dx, dy);
            std::uint32_t c = 0;
            if (r <= 7.6) {
                const double angle = std::atan2(dy, dx);
                const bool slice = angle > -1.6 && angle < 0.4;
                c = r > 6.6 ? Rgb(16, 52, 120) : slice ? Rgb(255, 160, 40) : Rgb(40, 150, 190);
                if (r < 1.6) c = Rgb(255, 255, 255);
            } else {
                mask[(y * n + x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
            auto at = std::find(palette.begin(), palette.end(), c);
            if (at == palette.end()) at = palette.insert(palette.end(), c);
            indexes[y * n + x] = static_cast<std::uint8_t>(at - palette.begin());
        }
    }

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    info.header.biSize = sizeof(info.header);
    info.header.biWidth = n;
    info.header.biHeight = -n;
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 256;
    for (size_t i = 0; i < palette.size(); ++i) {
        info.colors[i].rgbRed = static_cast<BYTE>(palette[i] >> 16);
        info.colors[i].rgbGreen = static_cast<BYTE>(palette[i] >> 8);
        info.colors[i].rgbBlue = static_cast<BYTE>(palette[i]);
    }
    void* bits = nullptr;
    unique_hbitmap color(::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info),
                                            DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!color) return unique_hicon();
    // 8-bit rows are padded to four bytes; 16 pixels need none.
    std::copy(std::begin(indexes), std::end(indexes), static_cast<std::uint8_t*>(bits));
    unique_hbitmap monochrome(::CreateBitmap(n, n, 1, 1, mask));
    ICONINFO icon{};
    icon.fIcon = TRUE;
    icon.hbmColor = color.get();
    icon.hbmMask = monochrome.get();
    return unique_hicon(::CreateIconIndirect(&icon));
}

}  // namespace orvane
