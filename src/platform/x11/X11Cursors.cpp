#include "platform/x11/X11Cursors.hpp"

#include <xcb/render.h>
#include <xcb/xcb_cursor.h>

#include <algorithm>
#include <cmath>

#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11Reply.hpp"

namespace talvori::x11 {

namespace {

const char* themeName(Cursor::Kind kind) {
    switch (kind) {
        case Cursor::Kind::arrow:
            return "left_ptr";
        case Cursor::Kind::resizeUpDown:
            return "sb_v_double_arrow";
        case Cursor::Kind::resizeLeftRight:
            return "sb_h_double_arrow";
        case Cursor::Kind::crosshair:
            return "crosshair";
        case Cursor::Kind::pointingHand:
            return "hand2";
        case Cursor::Kind::custom:
            break;
    }
    return "left_ptr";
}

}  // namespace

X11Cursors::X11Cursors(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {
    auto* screen = const_cast<xcb_screen_t*>(&connection_->screen());
    if (xcb_cursor_context_new(connection_->raw(), screen, &context_) < 0) context_ = nullptr;
}

X11Cursors::~X11Cursors() {
    if (context_) xcb_cursor_context_free(context_);
}

xcb_cursor_t X11Cursors::cursor(const Cursor& cursor) {
    if (cursor.kind == Cursor::Kind::custom) return custom(cursor);
    if (const auto found = standard_.find(cursor.kind); found != standard_.end()) {
        return found->second;
    }
    if (!context_) return XCB_CURSOR_NONE;
    const xcb_cursor_t loaded = xcb_cursor_load_cursor(context_, themeName(cursor.kind));
    standard_[cursor.kind] = loaded;
    return loaded;
}

std::uint32_t X11Cursors::argbFormat() {
    if (argbFormat_) return argbFormat_;
    xcb_connection_t* raw = connection_->raw();
    auto formats =
        waitReply(xcb_render_query_pict_formats_reply, raw, xcb_render_query_pict_formats(raw));
    if (!formats) return 0;
    for (auto it = xcb_render_query_pict_formats_formats_iterator(formats.get()); it.rem > 0;
         xcb_render_pictforminfo_next(&it)) {
        const auto& info = *it.data;
        const auto& direct = info.direct;
        if (info.type == XCB_RENDER_PICT_TYPE_DIRECT && info.depth == 32 &&
            direct.alpha_mask == 0xFF && direct.alpha_shift == 24 && direct.red_shift == 16 &&
            direct.green_shift == 8 && direct.blue_shift == 0) {
            argbFormat_ = info.id;
        }
    }
    return argbFormat_;
}

xcb_cursor_t X11Cursors::custom(const Cursor& cursor) {
    const auto pixels = static_cast<std::size_t>(std::max(0, cursor.width)) *
                        static_cast<std::size_t>(std::max(0, cursor.height));
    if (pixels == 0 || cursor.pixels.size() < pixels || cursor.width > 256 || cursor.height > 256) {
        return XCB_CURSOR_NONE;
    }
    const std::uint32_t format = argbFormat();
    if (!format) return XCB_CURSOR_NONE;
    xcb_connection_t* raw = connection_->raw();
    const auto width = static_cast<std::uint16_t>(cursor.width);
    const auto height = static_cast<std::uint16_t>(cursor.height);
    const xcb_pixmap_t pixmap = xcb_generate_id(raw);
    xcb_create_pixmap(raw, 32, pixmap, connection_->root(), width, height);
    const xcb_gcontext_t gc = xcb_generate_id(raw);
    xcb_create_gc(raw, gc, pixmap, 0, nullptr);
    xcb_put_image(raw, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width, height, 0, 0, 0, 32,
                  static_cast<std::uint32_t>(pixels * 4),
                  reinterpret_cast<const std::uint8_t*>(cursor.pixels.data()));
    const xcb_render_picture_t picture = xcb_generate_id(raw);
    xcb_render_create_picture(raw, picture, pixmap, format, 0, nullptr);
    const xcb_cursor_t made = xcb_generate_id(raw);
    const auto hotX = static_cast<std::uint16_t>(
        std::clamp(std::lround(cursor.hotSpot.x), 0L, static_cast<long>(width - 1)));
    const auto hotY = static_cast<std::uint16_t>(
        std::clamp(std::lround(cursor.hotSpot.y), 0L, static_cast<long>(height - 1)));
    xcb_render_create_cursor(raw, made, picture, hotX, hotY);
    xcb_render_free_picture(raw, picture);
    xcb_free_gc(raw, gc);
    xcb_free_pixmap(raw, pixmap);
    if (custom_ != XCB_CURSOR_NONE) xcb_free_cursor(raw, custom_);
    custom_ = made;
    return made;
}

}  // namespace talvori::x11
