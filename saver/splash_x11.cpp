#include "saver/splash_x11.h"

#include <fontconfig/fontconfig.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "saver/canvas.h"
#include "saver/textlines.h"

namespace {

const uint32_t kSearchingColour = 0x00FF00;
const uint32_t kShadowColour = 0x000000;
const uint32_t kTitleColour = 0xFFFFFF;
const char kFace[] = "DejaVu Sans";
const int kSplashPoints = 56;
// Windows lays out its type at 96 dots per inch unless told otherwise; so
// does X, through the Xft.dpi resource.
const double kDefaultDotsPerInch = 96;

struct Rect {
    int left, top, right, bottom;
};

// A value of the visual's colour masks for an 0xRRGGBB colour.
unsigned long TrueColourPixel(const Visual *visual, uint32_t rgb)
{
    unsigned long pixel = 0;
    const unsigned long masks[3] = {visual->red_mask, visual->green_mask, visual->blue_mask};
    for (int channel = 0; channel < 3; ++channel) {
        unsigned long mask = masks[channel];
        if (!mask)
            continue;
        int shift = __builtin_ctzl(mask);
        int bits = __builtin_popcountl(mask);
        unsigned long value = (rgb >> (16 - 8 * channel)) & 0xFF;
        value = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
        pixel |= (value << shift) & mask;
    }
    return pixel;
}

bool IsTrueColour(const Visual *visual)
{
    return visual->c_class == TrueColor || visual->c_class == DirectColor;
}

// MAME's reports are UTF-8; a text that is not is taken for Latin-1.
std::string AsUtf8(const char *text)
{
    int characters = 0, width = 0;
    size_t length = strlen(text);
    if (FcUtf8Len(reinterpret_cast<const FcChar8 *>(text), static_cast<int>(length), &characters,
                  &width))
        return text;
    std::string utf8;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        if (*p < 0x80) {
            utf8 += static_cast<char>(*p);
        } else {
            utf8 += static_cast<char>(0xC0 | (*p >> 6));
            utf8 += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return utf8;
}

struct Measure {
    Display *display;
    XftFont *font;
};

int MeasureWidth(void *context, const std::string &text)
{
    Measure *measure = static_cast<Measure *>(context);
    XGlyphInfo glyphs;
    XftTextExtentsUtf8(measure->display, measure->font,
                       reinterpret_cast<const FcChar8 *>(text.data()),
                       static_cast<int>(text.size()), &glyphs);
    return glyphs.xOff;
}

// One painting: a pixmap the size of the window, drawn on and then shown
// whole.
class Painting {
public:
    explicit Painting(X11Splash &splash)
        : splash_(splash), display_(splash.display),
          visual_(DefaultVisual(display_, splash.screen)),
          colormap_(DefaultColormap(display_, splash.screen))
    {
        pixmap_ = XCreatePixmap(display_, splash.window, static_cast<unsigned>(splash.width),
                                static_cast<unsigned>(splash.height),
                                static_cast<unsigned>(DefaultDepth(display_, splash.screen)));
        gc_ = XCreateGC(display_, pixmap_, 0, nullptr);
        draw_ = XftDrawCreate(display_, pixmap_, visual_, colormap_);
    }
    ~Painting()
    {
        XCopyArea(display_, pixmap_, splash_.window, gc_, 0, 0,
                  static_cast<unsigned>(splash_.width), static_cast<unsigned>(splash_.height), 0,
                  0);
        XFlush(display_);
        XftDrawDestroy(draw_);
        XFreeGC(display_, gc_);
        XFreePixmap(display_, pixmap_);
    }
    Painting(const Painting &) = delete;
    Painting &operator=(const Painting &) = delete;

    void Fill()
    {
        XSetForeground(display_, gc_, SplashBackgroundPixel(display_, splash_.screen));
        XFillRectangle(display_, pixmap_, gc_, 0, 0, static_cast<unsigned>(splash_.width),
                       static_cast<unsigned>(splash_.height));
    }

    // The background and the picture, composed in memory and put at once.
    void FillWithPicture(const RoundPicture &picture)
    {
        if (picture.pixels.empty()) {
            Fill();
            return;
        }
        int width = splash_.width, height = splash_.height;
        XImage *image = XCreateImage(display_, visual_,
                                     static_cast<unsigned>(DefaultDepth(display_, splash_.screen)),
                                     ZPixmap, 0, nullptr, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 32, 0);
        if (!image || !IsTrueColour(visual_)) {
            if (image)
                XDestroyImage(image);
            Fill();
            return;
        }
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
        ComposeSplashPixels(pixels.data(), width, height, kSplashBackground, picture,
                            PngPixels::Bgr);
        std::vector<char> converted;
        if (image->bits_per_pixel == 32 && visual_->red_mask == 0xFF0000 &&
            visual_->green_mask == 0xFF00 && visual_->blue_mask == 0xFF) {
            // The composed pixels are already this visual's, in this host's order.
            const uint16_t probe = 1;
            image->byte_order = *reinterpret_cast<const unsigned char *>(&probe) ? LSBFirst
                                                                                  : MSBFirst;
            image->data = reinterpret_cast<char *>(pixels.data());
        } else {
            converted.resize(static_cast<size_t>(image->bytes_per_line) *
                             static_cast<size_t>(height));
            image->data = converted.data();
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    XPutPixel(image, x, y,
                              TrueColourPixel(visual_, pixels[static_cast<size_t>(y) * width + x]));
        }
        XPutImage(display_, pixmap_, gc_, image, 0, 0, 0, 0, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
        image->data = nullptr;   // the vectors own the pixels
        XDestroyImage(image);
    }

    // One line centred both ways in area, cut with "..." when too wide.
    void Line(XftFont *font, const std::string &text, const Rect &area, uint32_t colour)
    {
        Measure measure{display_, font};
        std::string fitted = FitLine(text, area.right - area.left, MeasureWidth, &measure);
        int lineHeight = font->ascent + font->descent;
        int top = area.top + (area.bottom - area.top - lineHeight) / 2;
        Draw(font, fitted, area, top + font->ascent, colour);
    }

    // Word-wrapped lines centred across area, from its top down.
    void Lines(XftFont *font, const std::string &text, const Rect &area, uint32_t colour)
    {
        Measure measure{display_, font};
        int baseline = area.top + font->ascent;
        for (const std::string &line : WrapText(text, area.right - area.left, MeasureWidth,
                                                &measure)) {
            Draw(font, line, area, baseline, colour);
            baseline += font->ascent + font->descent;
        }
    }

private:
    void Draw(XftFont *font, const std::string &text, const Rect &area, int baseline,
              uint32_t colour)
    {
        Measure measure{display_, font};
        int x = area.left + (area.right - area.left - MeasureWidth(&measure, text)) / 2;
        XRenderColor value = {static_cast<unsigned short>(((colour >> 16) & 0xFF) * 257),
                              static_cast<unsigned short>(((colour >> 8) & 0xFF) * 257),
                              static_cast<unsigned short>((colour & 0xFF) * 257), 0xFFFF};
        XftColor xftColour;
        if (!XftColorAllocValue(display_, visual_, colormap_, &value, &xftColour))
            return;
        XftDrawStringUtf8(draw_, &xftColour, font, x, baseline,
                          reinterpret_cast<const FcChar8 *>(text.data()),
                          static_cast<int>(text.size()));
        XftColorFree(display_, visual_, colormap_, &xftColour);
    }

    X11Splash &splash_;
    Display *display_;
    Visual *visual_;
    Colormap colormap_;
    Pixmap pixmap_;
    GC gc_;
    XftDraw *draw_;
};

XftFont *OpenFont(Display *display, int screen, double pixels)
{
    return XftFontOpen(display, screen, XFT_FAMILY, XftTypeString, kFace, XFT_WEIGHT,
                       XftTypeInteger, XFT_WEIGHT_BOLD, XFT_PIXEL_SIZE, XftTypeDouble, pixels,
                       nullptr);
}

}   // namespace

unsigned long SplashBackgroundPixel(Display *display, int screen)
{
    Visual *visual = DefaultVisual(display, screen);
    if (IsTrueColour(visual))
        return TrueColourPixel(visual, kSplashBackground);
    XColor colour = {};
    colour.red = colour.green = colour.blue = 20 * 257;
    if (XAllocColor(display, DefaultColormap(display, screen), &colour))
        return colour.pixel;
    return BlackPixel(display, screen);
}

bool OpenSplash(X11Splash &splash, Display *display, int screen, Window window, int width,
                int height)
{
    splash.display = display;
    splash.screen = screen;
    splash.window = window;
    splash.width = width;
    splash.height = height;
    double dotsPerInch = kDefaultDotsPerInch;
    if (const char *resource = XGetDefault(display, "Xft", "dpi")) {
        double value = atof(resource);
        if (value > 0)
            dotsPerInch = value;
    }
    // The Win32 splash asks for a 56-point character height, rounded to pixels.
    double pixels = static_cast<int>(kSplashPoints * dotsPerInch / 72 + 0.5);
    splash.font = OpenFont(display, screen, pixels);
    splash.noteFont = OpenFont(display, screen, static_cast<int>(pixels) * 3 / 8);
    if (!splash.font || !splash.noteFont) {
        CloseSplash(splash);
        return false;
    }
    return true;
}

void CloseSplash(X11Splash &splash)
{
    if (splash.font)
        XftFontClose(splash.display, splash.font);
    if (splash.noteFont)
        XftFontClose(splash.display, splash.noteFont);
    splash.font = splash.noteFont = nullptr;
}

void PaintSearchingX11(X11Splash &splash, const char *note)
{
    Painting painting(splash);
    painting.Fill();
    Rect area = {0, 0, splash.width, splash.height};
    painting.Line(splash.font, "Searching...", area, kSearchingColour);
    if (note && note[0]) {
        int middle = splash.height / 2;
        Rect line = {0, middle + splash.height / 8, splash.width, middle + splash.height / 4};
        painting.Line(splash.noteFont, AsUtf8(note), line, kSearchingColour);
    }
}

void PaintRoundX11(X11Splash &splash, const Round &round)
{
    Painting painting(splash);
    painting.FillWithPicture(round.picture);
    std::string title = AsUtf8(round.title), subtitle = AsUtf8(round.subtitle);
    int half = splash.height / 2;
    Rect upper = {0, 0, splash.width, half};
    Rect lower = {0, half, splash.width, splash.height};
    painting.Line(splash.font, title, upper, kShadowColour);
    painting.Lines(splash.font, subtitle, lower, kShadowColour);
    Rect upperFront = {upper.left - 1, upper.top - 1, upper.right - 1, upper.bottom - 1};
    Rect lowerFront = {lower.left - 1, lower.top - 1, lower.right - 1, lower.bottom - 1};
    painting.Line(splash.font, title, upperFront, kTitleColour);
    painting.Lines(splash.font, subtitle, lowerFront, kTitleColour);
}

void PaintDarkX11(X11Splash &splash)
{
    XSetWindowBackground(splash.display, splash.window, BlackPixel(splash.display, splash.screen));
    XClearWindow(splash.display, splash.window);
    XFlush(splash.display);
}
