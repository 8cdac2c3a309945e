#include "platform/x11/harness/X11ClientResources.hpp"

#include <xcb/res.h>

#include <cstdlib>

#include "platform/x11/harness/X11TestDriver.hpp"

namespace talvori::testing {

X11ClientResources X11ClientResources::of(const X11TestDriver& driver, xcb_connection_t* client) {
    xcb_connection_t* asking = driver.connection();
    const std::uint32_t base = xcb_get_setup(client)->resource_id_base;
    // The server names the types by atoms it makes as it first answers with them.
    const xcb_atom_t glyphSet = driver.atom("GLYPHSET");
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
