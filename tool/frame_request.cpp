// Parsing and rendering of a still frame's state.
#include "tool/frame_request.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "raster/rasterise.h"
#include "runtime/frame_loop.h"
#include "runtime/overlays.h"
#include "tool/options.h"
#include "tool/tool.h"

namespace {

const char FRAME_USAGE[] =
    "usage: murl13-tool frame [--time T] [--order O] [--beats B] [--accent A]\n"
    "         [--beat-pulse P] [--view V] [--overlay-x X] [--overlay-y Y]\n"
    "         [--hit-material M] [--effect E] [--camera X,Y,Z]\n"
    "         [--format raw|ansi" NOT_ON_WINDOWS("|png] [--scale N") "]\n"
    "\n"
    "Renders one frame from a zeroed state with these values (all 0 by default):\n"
    "  --time T          timeSec, seconds (a double)\n"
    "  --order O         musicOrder; the timeline picks the effect and camera from it\n"
    "  --beats B         beatCount, 0 to 100000000 (the logo offsets are not redrawn)\n"
    "  --accent A        accentPulse, 0 to 3\n"
    "  --beat-pulse P    beatPulse, 0 to 3\n"
    "  --view V          viewDistance before the frame's view rule, -100 to 100\n"
    "  --overlay-x X     logo column offset, 0 to 37\n"
    "  --overlay-y Y     logo row offset, 0 to 19\n"
    "  --hit-material M  hitMaterial before the frame\n"
    "  --effect E        effectId after the timeline (0 plasma, 1-6 scenes, 7-8 flat, 9 warp)\n"
    "  --camera X,Y,Z    cameraPos after the timeline\n"
    "  --format raw|ansi raw: 4,000 cells, each a 16-bit glyph then a 16-bit attribute,\n"
    "                    little-endian (the default when stdout is not a terminal);\n"
    "                    ansi: coloured UTF-8 text (the default on a terminal)"
    NOT_ON_WINDOWS(";\n"
                   "                    png: the VGA picture, 640 by 400 pixels times the scale,\n"
                   "                    8-bit RGB\n"
                   "  --scale N         png only: each pixel N by N, 1 to 8 (default 1)") "\n";

// Longest |time| accepted: far beyond any run of the demo, and small enough that
// every integer conversion of the effects stays in range.
constexpr double MAX_TIME = 1.0e7;
// The demo's view distance is 100 x a sine; a longer one only makes the rays
// march further (a frame at 1e7 takes many seconds), so none is accepted.
constexpr float MAX_VIEW = 100.0f;
constexpr long long MAX_BEATS = 100000000;
constexpr long long INT_LOWEST = -2147483647LL - 1;
constexpr long long INT_HIGHEST = 2147483647LL;


int usageError(const char* message, const char* value)
{
    return ::usageError("frame", FRAME_USAGE, message, value);
}

bool parseCamera(const char* text, Vector3& camera)
{
    std::string parts[3];
    int part = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == ',') {
            if (++part > 2) return false;
        } else {
            parts[part] += *c;
        }
    }
    if (part != 2) return false;
    std::optional<float> values[3];
    for (int i = 0; i < 3; ++i) {
        values[i] = parseFloat(parts[i].c_str());
        if (!values[i]) return false;
    }
    camera = {*values[0], *values[1], *values[2]};
    return true;
}

bool pulseInRange(std::optional<float> pulse) { return pulse && *pulse >= 0.0f && *pulse <= 3.0f; }

}  // namespace

int parseFrameRequest(int argc, char** argv, FrameRequest& request)
{
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const char* option = argv[i];
        if (!optionsEnded && std::strcmp(option, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || option[0] != '-') return usageError("unexpected argument", option);
        if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0)
            return printText(FRAME_USAGE) == 0 ? -1 : 1;
        if (!isOneOf(option, {"--time", "--order", "--beats", "--accent", "--beat-pulse", "--view", "--overlay-x",
                              "--overlay-y", "--hit-material", "--effect", "--camera", "--format", "--scale"}))
            return usageError("unknown option", option);
        if (i + 1 >= argc) return usageError("missing value for", option);
        const char* value = argv[++i];
        auto is = [option](const char* name) { return std::strcmp(option, name) == 0; };
        if (is("--time")) {
            auto t = parseDouble(value);
            if (!t || *t > MAX_TIME || *t < -MAX_TIME) return usageError("bad time", value);
            request.time = *t;
        } else if (is("--order")) {
            auto o = parseInteger(value, INT_LOWEST, INT_HIGHEST);
            if (!o) return usageError("bad order", value);
            request.order = int(*o);
        } else if (is("--beats")) {
            auto b = parseInteger(value, 0, MAX_BEATS);
            if (!b) return usageError("bad beat count (0 to 100000000)", value);
            request.beats = int(*b);
        } else if (is("--accent")) {
            auto a = parseFloat(value);
            if (!pulseInRange(a)) return usageError("bad accent pulse (0 to 3)", value);
            request.accent = *a;
        } else if (is("--beat-pulse")) {
            auto p = parseFloat(value);
            if (!pulseInRange(p)) return usageError("bad beat pulse (0 to 3)", value);
            request.beatPulse = *p;
        } else if (is("--view")) {
            auto v = parseFloat(value);
            if (!v || *v > MAX_VIEW || *v < -MAX_VIEW) return usageError("bad view distance (-100 to 100)", value);
            request.view = *v;
        } else if (is("--overlay-x")) {
            auto x = parseInteger(value, 0, 37);
            if (!x) return usageError("bad logo column offset (0 to 37)", value);
            request.overlayX = int(*x);
        } else if (is("--overlay-y")) {
            auto y = parseInteger(value, 0, 19);
            if (!y) return usageError("bad logo row offset (0 to 19)", value);
            request.overlayY = int(*y);
        } else if (is("--hit-material")) {
            auto m = parseInteger(value, INT_LOWEST, INT_HIGHEST);
            if (!m) return usageError("bad hit material", value);
            request.hitMaterial = int(*m);
        } else if (is("--effect")) {
            auto e = parseInteger(value, INT_LOWEST, INT_HIGHEST);
            if (!e) return usageError("bad effect id", value);
            request.haveEffect = true;
            request.effect = int(*e);
        } else if (is("--camera")) {
            if (!parseCamera(value, request.camera)) return usageError("bad camera (X,Y,Z)", value);
            request.haveCamera = true;
        } else if (is("--format")) {
            if (std::strcmp(value, "raw") == 0) request.format = FrameRequest::Format::Raw;
            else if (std::strcmp(value, "ansi") == 0) request.format = FrameRequest::Format::Ansi;
            else if (std::strcmp(value, "png") == 0) request.format = FrameRequest::Format::Png;
            else return usageError("bad format (raw, ansi or png)", value);
        } else if (is("--scale")) {
            auto n = parseInteger(value, 1, raster::MAX_SCALE);
            if (!n) return usageError("bad scale (1 to 8)", value);
            request.scale = int(*n);
        } else {
            return usageError("unknown option", option);
        }
    }
    if (request.scale != 0 && request.format != FrameRequest::Format::Png)
        return usageError("--scale goes with --format png", nullptr);
    return 0;
}

void renderRequestedFrame(const FrameRequest& request)
{
    resetDemoState();
    overlayRandomState = 1;
    demo.timeSec = request.time;
    demo.musicOrder = request.order;
    relaxedStore(demo.beatCount, request.beats);
    demo.lastBeatCount = request.beats;
    relaxedStore(demo.accentPulse, request.accent);
    relaxedStore(demo.beatPulse, request.beatPulse);
    demo.viewDistance = request.view;
    demo.overlayX = request.overlayX;
    demo.overlayY = request.overlayY;
    demo.hitMaterial = request.hitMaterial;

    applyTimeline();
    updateViewDistance();
    if (request.haveEffect) demo.effectId = request.effect;
    if (request.haveCamera) demo.cameraPos = request.camera;
    renderCells();
    stampOverlays();
}

