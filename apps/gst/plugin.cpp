// libgstpattix.so: the plug-in that holds pattixsrc.

#include <gst/gst.h>

#include "apps/gst/pattix_src.hpp"

namespace {

gboolean initialisePlugin(GstPlugin* plugin) {
    return gst_element_register(plugin, "pattixsrc", GST_RANK_NONE, GST_TYPE_PATTIX_SRC);
}

}  // namespace

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, pattix,
                  "Pattix broadcast test patterns, drawn by the Pattix effect module",
                  initialisePlugin, PATTIX_VERSION, "Proprietary", "Pattix", "Pattix")
