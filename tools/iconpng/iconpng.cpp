// Draws the desktop icons of mavlyn from the panel icon's ball picture: the 22 x 22 art,
// centred, scaled to the usual hicolor sizes and written as
// OUTDIR/<n>x<n>/apps/mavlyn.png, so that the menu shows the same picture as the panel.
#include "ui/icon_art.h"
#include "ui/panel_icons.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

constexpr int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The ball art fills rows 0-12; four rows down it sits in the middle of the square.
constexpr int ball_row = 4;

void paint_ball(guchar* rgba) {
    ic__picture px;
    for (auto& p : px) p = 0; // transparent
    ic__pxs(px, ball_row, ic__art_ball);
    // The painting functions store each pixel as the bytes red, green, blue, alpha.
    std::memcpy(rgba, px, sizeof px);
}

bool make_dirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); i++)
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    static guchar rgba[ic__PIXELS * 4];
    paint_ball(rgba);
    GdkPixbuf* base = gdk_pixbuf_new_from_data(rgba, GDK_COLORSPACE_RGB, TRUE, 8, ic__SIZE,
                                               ic__SIZE, ic__SIZE * 4, nullptr, nullptr);
    if (!base) return 1;
    int rc = 0;
    for (int n : sizes) {
        // Enlarged pixel art stays sharp with nearest-neighbour; reduced, it is smoothed.
        GdkInterpType interp = n >= ic__SIZE ? GDK_INTERP_NEAREST : GDK_INTERP_HYPER;
        GdkPixbuf* scaled = gdk_pixbuf_scale_simple(base, n, n, interp);
        std::string dir =
            std::string(argv[1]) + "/" + std::to_string(n) + "x" + std::to_string(n) + "/apps";
        std::string file = dir + "/mavlyn.png";
        GError* err = nullptr;
        if (!scaled || !make_dirs(dir) ||
            !gdk_pixbuf_save(scaled, file.c_str(), "png", &err, nullptr)) {
            std::fprintf(stderr, "%s: cannot write %s%s%s\n", argv[0], file.c_str(),
                         err ? ": " : "", err ? err->message : "");
            if (err) g_error_free(err);
            rc = 1;
        }
        if (scaled) g_object_unref(scaled);
    }
    g_object_unref(base);
    return rc;
}
