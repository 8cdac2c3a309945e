#include "platform/x11/harness/X11ClientResources.hpp"

#include <xcb/res.h>

#include <cstdlib>
#include <cstring>

namespace talvori::testing {

namespace {

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

}  // namespace

X11ClientResources X11ClientResources::of(xcb_connection_t* asking, xcb_connection_t* client) {
    const std::uint32_t base = xcb_get_setup(client)->resource_id_base;
    // The server names the types by atoms it makes as it first answers with them.
    const xcb_atom_t glyphSet = atomNamed(asking, "GLYPHSET");
    X11ClientResources held;
    auto* reply = xcb_res_query_client_resources_reply(
        asking, xcb_res_query_client_resources(asking, base), nullptr);
    if (!reply) return held;
    for (auto it = xcb_res_query_client_resources_types_iterator(reply); it.rem > 0;
         xcb_res_type_next(&it)) {
        held.total += it.data->count;
        if (it.data->resource_type == XCB_ATOM_WINDOW) held.windows += it.data->count;
        if (it.data->resource_type == glyphSet) held.glyphSets += it.data->count;
    }
    std::free(reply);
    return held;
}

}  // namespace talvori::testing
