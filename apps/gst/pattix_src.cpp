#include "apps/gst/pattix_src.hpp"

#include <gst/video/video.h>

#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "apps/gst/frame_source.hpp"

GST_DEBUG_CATEGORY_STATIC(pattix_src_debug);
#define GST_CAT_DEFAULT pattix_src_debug

namespace {

using pattix::gst::Frame;
using pattix::gst::FrameSource;
using pattix::gst::SourceSettings;
using pattix::gst::StreamFormat;

// Downstream leaving size and rate open gets a PAL frame (ITU-R BT.601, 625 lines) at 25 Hz.
constexpr int kDefaultWidth = 720;
constexpr int kDefaultHeight = 576;
constexpr int kDefaultRate = 25;

// The host's two frame buffers as GStreamer names them: 8-bit RGBA, and the 16-bit buffer
// converted to unsigned values as pattix writes them.
GstStaticPadTemplate sourceTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("{ RGBA, RGBA64_LE }")));

enum Property {
    PROP_0,
    PROP_PATTERN,
    PROP_DIRECTION,
    PROP_FIELD,
    PROP_ROI,
    PROP_PRESET,
    PROP_IS_LIVE,
};

struct SourceState {
    // What the properties say, guarded by the object lock, with a count of changes so that
    // the streaming thread sees a change before its next frame.
    SourceSettings settings;
    std::uint64_t changes = 0;

    // The streaming side.
    std::unique_ptr<FrameSource> source;
    std::uint64_t appliedChanges = 0;
    StreamFormat format;
    gint rateNumerator = 0;
    gint rateDenominator = 1;
    std::int64_t framesBefore = 0;  // frames sent with earlier caps
    GstClockTime timeBefore = 0;    // and their running time
    std::int64_t frames = 0;        // frames sent with the current caps
    std::atomic<GstClockTime> frameDuration{GST_CLOCK_TIME_NONE};
};

GstClockTime timeOfFrames(const SourceState& state, std::int64_t frames) {
    return gst_util_uint64_scale(static_cast<guint64>(frames),
                                 static_cast<guint64>(state.rateDenominator) * GST_SECOND,
                                 static_cast<guint64>(state.rateNumerator));
}

// The running time at which frame `frames` of the current caps starts.
GstClockTime startOf(const SourceState& state, std::int64_t frames) {
    return state.timeBefore + (state.rateNumerator > 0 ? timeOfFrames(state, frames) : 0);
}

// The patterns as GStreamer lists them: each value's nick is its short name and its name the
// one the module gives it, so `pattern=4`, `pattern=smpte` and `pattern="SMPTE Colour Bars"`
// all work. The module is asked once, when the type is first needed.
GType patternType() {
    static gsize type = 0;
    if (g_once_init_enter(&type)) {
        std::string problem;
        const auto names = pattix::gst::patternNames(problem);
        if (!problem.empty()) GST_WARNING("patterns named by short name only: %s", problem.c_str());
        // GLib keeps the values for the life of the process.
        auto* values = g_new0(GEnumValue, names.size() + 1);
        for (std::size_t value = 0; value < names.size(); ++value) {
            values[value] = {static_cast<gint>(value), g_strdup(names[value].ownName.c_str()),
                             g_strdup(names[value].shortName.c_str())};
        }
        g_once_init_leave(&type, g_enum_register_static("GstPattixPattern", values));
    }
    return static_cast<GType>(type);
}

GType directionType() {
    static gsize type = 0;
    static const GEnumValue values[] = {
        {0, "Horizontal", "horizontal"}, {1, "Vertical", "vertical"}, {0, nullptr, nullptr}};
    if (g_once_init_enter(&type)) {
        g_once_init_leave(&type, g_enum_register_static("GstPattixDirection", values));
    }
    return static_cast<GType>(type);
}

GType fieldType() {
    static gsize type = 0;
    static const GEnumValue values[] = {
        {0, "Whole frame", "both"},
        {1, "First field: rows 0, 2, 4, ... counted from the bottom", "first"},
        {2, "Second field: rows 1, 3, 5, ... counted from the bottom", "second"},
        {0, nullptr, nullptr}};
    if (g_once_init_enter(&type)) {
        g_once_init_leave(&type, g_enum_register_static("GstPattixField", values));
    }
    return static_cast<GType>(type);
}

}  // namespace

struct _GstPattixSrc {
    GstPushSrc parent;
    SourceState* state;
};

G_DEFINE_TYPE(GstPattixSrc, gst_pattix_src, GST_TYPE_PUSH_SRC)

namespace {

SourceState& stateOf(gpointer element) {
    return *GST_PATTIX_SRC(element)->state;
}

// String properties: unset is empty here and null to GLib.
std::string textOf(const GValue* value) {
    const char* text = g_value_get_string(value);
    return text != nullptr ? text : "";
}
const char* textOrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

// The settings and their change count as one consistent snapshot.
std::pair<SourceSettings, std::uint64_t> snapshot(GstPattixSrc* self) {
    GST_OBJECT_LOCK(self);
    std::pair<SourceSettings, std::uint64_t> taken{self->state->settings, self->state->changes};
    GST_OBJECT_UNLOCK(self);
    return taken;
}

// Applies the settings; a failure is an error before the first frame and a warning later,
// when the frames go on with the settings they had.
bool configure(GstPattixSrc* self, const StreamFormat& format, bool streaming) {
    SourceState& state = *self->state;
    auto [settings, changes] = snapshot(self);
    state.appliedChanges = changes;
    try {
        const std::string warning = state.source->configure(format, settings);
        if (!warning.empty()) {
            GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS, ("%s", warning.c_str()), (nullptr));
        }
        return true;
    } catch (const std::exception& failure) {
        if (streaming) {
            GST_ELEMENT_WARNING(self, RESOURCE, SETTINGS,
                                ("%s; the frames go on as before", failure.what()), (nullptr));
        } else {
            GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("%s", failure.what()), (nullptr));
        }
        return false;
    }
}

void setProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
    auto* self = GST_PATTIX_SRC(object);
    if (id == PROP_IS_LIVE) {
        gst_base_src_set_live(GST_BASE_SRC(self), g_value_get_boolean(value));
        return;
    }
    GST_OBJECT_LOCK(self);
    SourceSettings& settings = self->state->settings;
    switch (id) {
        case PROP_PATTERN:
            settings.parameters.pattern = g_value_get_enum(value);
            settings.parameters.patternGiven = true;
            break;
        case PROP_DIRECTION:
            settings.parameters.direction = g_value_get_enum(value);
            settings.parameters.directionGiven = true;
            break;
        case PROP_FIELD:
            settings.field = g_value_get_enum(value);
            break;
        case PROP_ROI:
            settings.region = textOf(value);
            break;
        case PROP_PRESET:
            settings.parameters.presetPath = textOf(value);
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
            break;
    }
    ++self->state->changes;
    GST_OBJECT_UNLOCK(self);
}

void getProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
    auto* self = GST_PATTIX_SRC(object);
    if (id == PROP_IS_LIVE) {
        g_value_set_boolean(value, gst_base_src_is_live(GST_BASE_SRC(self)));
        return;
    }
    GST_OBJECT_LOCK(self);
    const SourceSettings& settings = self->state->settings;
    switch (id) {
        case PROP_PATTERN:
            g_value_set_enum(value, settings.parameters.pattern);
            break;
        case PROP_DIRECTION:
            g_value_set_enum(value, settings.parameters.direction);
            break;
        case PROP_FIELD:
            g_value_set_enum(value, settings.field);
            break;
        case PROP_ROI:
            g_value_set_string(value, textOrNull(settings.region));
            break;
        case PROP_PRESET:
            g_value_set_string(value, textOrNull(settings.parameters.presetPath));
            break;
        default:
            G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
            break;
    }
    GST_OBJECT_UNLOCK(self);
}

void finalize(GObject* object) {
    delete GST_PATTIX_SRC(object)->state;
    G_OBJECT_CLASS(gst_pattix_src_parent_class)->finalize(object);
}

gboolean start(GstBaseSrc* base) {
    auto* self = GST_PATTIX_SRC(base);
    SourceState& state = *self->state;
    try {
        state.source = std::make_unique<FrameSource>();
    } catch (const std::exception& failure) {
        GST_ELEMENT_ERROR(self, LIBRARY, INIT, ("%s", failure.what()), (nullptr));
        return FALSE;
    }
    state.framesBefore = state.frames = 0;
    state.timeBefore = 0;
    return TRUE;
}

gboolean stop(GstBaseSrc* base) {
    stateOf(base).source.reset();
    return TRUE;
}

GstCaps* fixate(GstBaseSrc* base, GstCaps* caps) {
    caps = gst_caps_make_writable(gst_caps_truncate(caps));
    GstStructure* structure = gst_caps_get_structure(caps, 0);
    gst_structure_fixate_field_nearest_int(structure, "width", kDefaultWidth);
    gst_structure_fixate_field_nearest_int(structure, "height", kDefaultHeight);
    gst_structure_fixate_field_nearest_fraction(structure, "framerate", kDefaultRate, 1);
    if (gst_structure_has_field(structure, "pixel-aspect-ratio")) {
        gst_structure_fixate_field_nearest_fraction(structure, "pixel-aspect-ratio", 1, 1);
    }
    return GST_BASE_SRC_CLASS(gst_pattix_src_parent_class)->fixate(base, caps);
}

gboolean setCaps(GstBaseSrc* base, GstCaps* caps) {
    auto* self = GST_PATTIX_SRC(base);
    SourceState& state = *self->state;
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps)) {
        gint width = 0;
        gint height = 0;
        const GstStructure* structure = gst_caps_get_structure(caps, 0);
        gst_structure_get_int(structure, "width", &width);
        gst_structure_get_int(structure, "height", &height);
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION,
                          ("size %dx%d is too large for a GStreamer video frame", width, height),
                          ("%" GST_PTR_FORMAT, static_cast<void*>(caps)));
        return FALSE;
    }
    const int depth = GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_RGBA64_LE ? 16 : 8;
    const StreamFormat format{info.width, info.height, depth};
    if (!configure(self, format, false)) return FALSE;
    state.format = format;

    if (state.rateNumerator > 0) {
        state.timeBefore += timeOfFrames(state, state.frames);
        state.framesBefore += state.frames;
    }
    state.frames = 0;
    state.rateNumerator = GST_VIDEO_INFO_FPS_N(&info);
    state.rateDenominator = GST_VIDEO_INFO_FPS_D(&info);
    state.frameDuration = state.rateNumerator > 0 ? timeOfFrames(state, 1) : GST_CLOCK_TIME_NONE;
    return TRUE;
}

// The buffer holds the frame itself: the memory the module drew into leaves without a copy.
GstBuffer* wrapFrame(Frame frame) {
    auto* held = new Frame(std::move(frame));
    return gst_buffer_new_wrapped_full(GstMemoryFlags(0), held->data(), held->size(), 0,
                                       held->size(), held,
                                       [](gpointer data) { delete static_cast<Frame*>(data); });
}

GstFlowReturn create(GstPushSrc* push, GstBuffer** out) {
    auto* self = GST_PATTIX_SRC(push);
    SourceState& state = *self->state;
    if (!state.source || !state.source->configured()) return GST_FLOW_NOT_NEGOTIATED;
    // A frame rate of 0 is one still picture.
    if (state.rateNumerator == 0 && state.frames > 0) return GST_FLOW_EOS;

    GST_OBJECT_LOCK(self);
    const bool changed = state.changes != state.appliedChanges;
    GST_OBJECT_UNLOCK(self);
    if (changed) configure(self, state.format, true);

    Frame frame;
    try {
        frame = state.source->render(state.framesBefore + state.frames);
    } catch (const std::exception& failure) {
        GST_ELEMENT_ERROR(self, STREAM, FAILED, ("%s", failure.what()), (nullptr));
        return GST_FLOW_ERROR;
    }
    if (!frame) return GST_FLOW_FLUSHING;

    GstBuffer* buffer = wrapFrame(std::move(frame));
    GST_BUFFER_PTS(buffer) = startOf(state, state.frames);
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    if (state.rateNumerator > 0) {
        GST_BUFFER_DURATION(buffer) = startOf(state, state.frames + 1) - GST_BUFFER_PTS(buffer);
    }
    GST_BUFFER_OFFSET(buffer) = static_cast<guint64>(state.framesBefore + state.frames);
    GST_BUFFER_OFFSET_END(buffer) = GST_BUFFER_OFFSET(buffer) + 1;
    ++state.frames;
    *out = buffer;
    return GST_FLOW_OK;
}

// A live source waits for each frame's time on the clock before pushing it.
void getTimes(GstBaseSrc* base, GstBuffer* buffer, GstClockTime* start, GstClockTime* end) {
    if (!gst_base_src_is_live(base) || !GST_BUFFER_PTS_IS_VALID(buffer)) return;
    *start = GST_BUFFER_PTS(buffer);
    if (GST_BUFFER_DURATION_IS_VALID(buffer)) *end = *start + GST_BUFFER_DURATION(buffer);
}

gboolean query(GstBaseSrc* base, GstQuery* query) {
    const GstClockTime frame = stateOf(base).frameDuration;
    if (GST_QUERY_TYPE(query) == GST_QUERY_LATENCY && GST_CLOCK_TIME_IS_VALID(frame)) {
        gst_query_set_latency(query, gst_base_src_is_live(base), frame, GST_CLOCK_TIME_NONE);
        return TRUE;
    }
    return GST_BASE_SRC_CLASS(gst_pattix_src_parent_class)->query(base, query);
}

gboolean unlock(GstBaseSrc* base) {
    if (auto& source = stateOf(base).source) source->requestStop();
    return TRUE;
}

gboolean unlockStop(GstBaseSrc* base) {
    if (auto& source = stateOf(base).source) source->resume();
    return TRUE;
}

}  // namespace

static void gst_pattix_src_class_init(GstPattixSrcClass* klass) {
    GST_DEBUG_CATEGORY_INIT(pattix_src_debug, "pattixsrc", 0, "Pattix test patterns");
    auto* objects = G_OBJECT_CLASS(klass);
    objects->set_property = setProperty;
    objects->get_property = getProperty;
    objects->finalize = finalize;

    const auto changeable = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                     GST_PARAM_MUTABLE_PLAYING);
    g_object_class_install_property(
        objects, PROP_PATTERN,
        g_param_spec_enum("pattern", "Pattern",
                          "The test pattern: its number, its short name or its own name",
                          patternType(), 0, changeable));
    g_object_class_install_property(
        objects, PROP_DIRECTION,
        g_param_spec_enum("direction", "Ramp direction",
                          "The direction the ramps (patterns 5 to 8) run in", directionType(), 0,
                          changeable));
    g_object_class_install_property(
        objects, PROP_FIELD,
        g_param_spec_enum("field", "Field",
                          "The rows drawn: the whole frame or one interlaced field; the other "
                          "rows stay black",
                          fieldType(), 0, changeable));
    g_object_class_install_property(
        objects, PROP_ROI,
        g_param_spec_string("roi", "Region of interest",
                            "X,Y,W,H in pixels, x from the left and y from the bottom row: only "
                            "this region is drawn, the rest stays black (none: the whole frame)",
                            nullptr, changeable));
    g_object_class_install_property(
        objects, PROP_PRESET,
        g_param_spec_string("preset", "Preset file",
                            "A preset file as pattix --save-preset writes it, applied first; "
                            "pattern and direction win over it when set",
                            nullptr, changeable));
    g_object_class_install_property(
        objects, PROP_IS_LIVE,
        g_param_spec_boolean("is-live", "Is live",
                             "Act as a live source: frames leave at the pace of the frame rate",
                             FALSE,
                             static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                                      GST_PARAM_MUTABLE_READY)));

    auto* elements = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        elements, "Pattix test patterns", "Source/Video",
        "Broadcast colour bars and ramps drawn by the Pattix effect module", "Pattix");
    gst_element_class_add_static_pad_template(elements, &sourceTemplate);

    auto* sources = GST_BASE_SRC_CLASS(klass);
    sources->start = start;
    sources->stop = stop;
    sources->fixate = fixate;
    sources->set_caps = setCaps;
    sources->get_times = getTimes;
    sources->query = query;
    sources->unlock = unlock;
    sources->unlock_stop = unlockStop;
    GST_PUSH_SRC_CLASS(klass)->create = create;
}

static void gst_pattix_src_init(GstPattixSrc* self) {
    self->state = new SourceState;
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}
