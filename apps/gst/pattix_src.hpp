// pattixsrc: the Pattix test patterns as a GStreamer push source.
#pragma once

#include <gst/base/gstpushsrc.h>

G_BEGIN_DECLS

#define GST_TYPE_PATTIX_SRC (gst_pattix_src_get_type())
G_DECLARE_FINAL_TYPE(GstPattixSrc, gst_pattix_src, GST, PATTIX_SRC, GstPushSrc)

G_END_DECLS
