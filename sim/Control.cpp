#include "sim/Control.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace zelt::sim {

namespace {

bool toInt(const std::string& s, long lo, long hi, int* v)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    const long n = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || n < lo || n > hi)
        return false;
    *v = static_cast<int>(n);
    return true;
}

bool toDouble(const std::string& s, double* v)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    *v = std::strtod(s.c_str(), &end);
    return *end == '\0' && std::isfinite(*v);
}

bool errorModeFromName(const std::string& s, ErrorMode* m)
{
    static const std::pair<const char*, ErrorMode> kModes[] = {
        {"none", ErrorMode::None},         {"err", ErrorMode::ErrLine},     {"negative", ErrorMode::NegativeCount},
        {"short", ErrorMode::ShortLine},   {"noequals", ErrorMode::NoEquals}, {"noblank", ErrorMode::NoBlank},
    };
    for (const auto& [name, mode] : kModes)
        if (s == name) {
            *m = mode;
            return true;
        }
    return false;
}

bool onOff(const std::string& s, bool* v)
{
    if (s == "on" || s == "1") {
        *v = true;
        return true;
    }
    if (s == "off" || s == "0") {
        *v = false;
        return true;
    }
    return false;
}

}  // namespace

std::string programUsage()
{
    return "usage: zelt-sim [options]\n"
           "  --com N             register as COM<N> (default 9)\n"
           "  --recording NAME    default|humidity|fast|yearend|full|bad|irregular\n"
           "  --seed N            seed of the recording (default 1)\n"
           "  --number SN         logger number (default 20240624)\n"
           "  --unsupported       identify as a model the tool does not handle\n"
           "  --short-form        send the short threshold and status report lines\n"
           "  --enq               send ENQ between answers and while idle\n"
           "  --enq-midline       also put an ENQ in the middle of each answer's first line\n"
           "  --silent            answer nothing at all\n"
           "  --no-end-mark       answer without the final '#'\n"
           "  --noise             garbage lines and raw junk before each answer\n"
           "  --slow MS           wait MS before each answer\n"
           "  --slow-start MS     begin the answers of --slow-start-on's commands only after MS\n"
           "  --slow-start-on CS  the commands a slow start delays, by first character (\"Ds\": the\n"
           "                      download and the clock); every command when not given\n"
           "  --partial-recall    \"C\" and \"G\" send only the later half of the records\n"
           "  --rate BYTES        limit the output to BYTES per second\n"
           "  --realtime          output at the serial rate (11,520 bytes/s)\n"
           "  --error MODE        none|err|negative|short|noequals|noblank\n"
           "  --loader-error      the firmware loader rejects every line\n"
           "  --keep-settings     answer settings commands \"NG\" and change nothing\n"
           "  --latency MS        the USB adapter's latency timer (bytes held up to MS ms)\n"
           "  --stream-speed F    sample stream speed factor (1 = 200 samples/s)\n"
           "  --print-device      also print the device path alone on a line\n"
           "  -h, --help          this help\n"
           "  --version           the version (zelt-sim only)\n"
           "stdin commands: unplug, replug, silence off|nomark|on, noise on|off,\n"
           "  enq off|on|midline, slow MS [BYTES], slow-start MS [CS], error MODE, form long|short,\n"
           "  model supported|unsupported, loader-error on|off, latency MS, recording NAME [SEED],\n"
           "  reading X Y Z TEMP | reading auto, stream-speed F, status, commands [N], quit\n";
}

bool parseProgramArguments(const std::vector<std::string>& args, ProgramOptions* out, std::string* error)
{
    ProgramOptions o;
    int rate = -1;
    bool realtime = false;
    auto fail = [&](const std::string& msg) {
        if (error)
            *error = msg;
        return false;
    };
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        auto value = [&](std::string* v) {
            if (k + 1 >= args.size())
                return false;
            *v = args[++k];
            return true;
        };
        std::string v;
        if (a == "--com") {
            if (!value(&v) || !toInt(v, 1, 255, &o.comNumber))
                return fail("--com needs a number 1..255");
        } else if (a == "--recording") {
            if (!value(&v) || !recordingFromName(v, &o.simulator.recording))
                return fail("--recording needs one of default|humidity|fast|yearend|full|bad|irregular");
        } else if (a == "--seed") {
            int seed = 0;
            if (!value(&v) || !toInt(v, 0, 1000000000L, &seed))
                return fail("--seed needs a number");
            o.simulator.seed = static_cast<std::uint32_t>(seed);
        } else if (a == "--number") {
            if (!value(&v) || v.empty())
                return fail("--number needs a logger number");
            o.simulator.loggerNumber = v;
        } else if (a == "--unsupported") {
            o.supportedModel = false;
        } else if (a == "--short-form") {
            o.behaviour.form = ReportForm::Short;
        } else if (a == "--enq") {
            o.behaviour.enquiry = Enquiry::BetweenAnswers;
        } else if (a == "--enq-midline") {
            o.behaviour.enquiry = Enquiry::MidLine;
        } else if (a == "--silent") {
            o.behaviour.silence = Silence::Nothing;
        } else if (a == "--no-end-mark") {
            o.behaviour.silence = Silence::NoEndMark;
        } else if (a == "--noise") {
            o.behaviour.noise = true;
        } else if (a == "--slow") {
            if (!value(&v) || !toInt(v, 0, 600000, &o.behaviour.answerDelayMs))
                return fail("--slow needs milliseconds");
        } else if (a == "--slow-start") {
            if (!value(&v) || !toInt(v, 0, 600000, &o.behaviour.slowStartMs))
                return fail("--slow-start needs milliseconds");
        } else if (a == "--slow-start-on") {
            if (!value(&v) || v.empty())
                return fail("--slow-start-on needs the commands' first characters");
            o.behaviour.slowStartCommands = v;
        } else if (a == "--partial-recall") {
            o.behaviour.partialRecall = true;
        } else if (a == "--rate") {
            if (!value(&v) || !toInt(v, 1, 100000000, &rate))
                return fail("--rate needs bytes per second");
        } else if (a == "--realtime") {
            realtime = true;
        } else if (a == "--error") {
            if (!value(&v) || !errorModeFromName(v, &o.behaviour.error))
                return fail("--error needs one of none|err|negative|short|noequals|noblank");
        } else if (a == "--loader-error") {
            o.behaviour.loaderError = true;
        } else if (a == "--keep-settings") {
            o.behaviour.keepSettings = true;
        } else if (a == "--latency") {
            if (!value(&v) || !toInt(v, 0, 1000, &o.behaviour.adapterLatencyMs))
                return fail("--latency needs milliseconds");
        } else if (a == "--stream-speed") {
            if (!value(&v) || !toDouble(v, &o.behaviour.streamSpeed) || o.behaviour.streamSpeed <= 0)
                return fail("--stream-speed needs a positive factor");
        } else if (a == "--print-device") {
            o.printDevice = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else {
            return fail("unknown option " + a);
        }
    }
    o.simulator.realtime = realtime;
    o.behaviour.bytesPerSecond = rate > 0 ? rate : (realtime ? 11520 : 0);
    *out = o;
    return true;
}

std::string runControlCommand(Simulator& sim, const std::string& line, bool* quit)
{
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;)
        w.push_back(t);
    if (w.empty())
        return "error: empty command";
    const std::string& cmd = w[0];
    const std::string arg = w.size() > 1 ? w[1] : "";
    bool flag = false;

    if (cmd == "quit") {
        if (quit)
            *quit = true;
        return "ok";
    }
    if (cmd == "unplug") {
        sim.unplug();
        return "ok";
    }
    if (cmd == "replug") {
        std::string err;
        if (!sim.replug(&err))
            return "error: " + err;
        return "ok " + sim.devicePath();
    }
    if (cmd == "silence") {
        if (arg == "off")
            sim.setSilence(Silence::Off);
        else if (arg == "nomark")
            sim.setSilence(Silence::NoEndMark);
        else if (arg == "on")
            sim.setSilence(Silence::Nothing);
        else
            return "error: silence off|nomark|on";
        return "ok";
    }
    if (cmd == "noise") {
        if (!onOff(arg, &flag))
            return "error: noise on|off";
        sim.setNoise(flag);
        return "ok";
    }
    if (cmd == "enq") {
        if (arg == "off")
            sim.setEnquiry(Enquiry::Off);
        else if (arg == "on")
            sim.setEnquiry(Enquiry::BetweenAnswers);
        else if (arg == "midline")
            sim.setEnquiry(Enquiry::MidLine);
        else
            return "error: enq off|on|midline";
        return "ok";
    }
    if (cmd == "slow") {
        int ms = 0, rate = 0;
        if (!toInt(arg, 0, 600000, &ms) || (w.size() > 2 && !toInt(w[2], 0, 100000000, &rate)))
            return "error: slow MS [BYTES]";
        sim.setSlow(ms, rate);
        return "ok";
    }
    if (cmd == "slow-start") {
        int ms = 0;
        if (!toInt(arg, 0, 600000, &ms))
            return "error: slow-start MS [COMMANDS]";
        sim.setSlowStart(ms, w.size() > 2 ? w[2] : std::string());
        return "ok";
    }
    if (cmd == "error") {
        ErrorMode m;
        if (!errorModeFromName(arg, &m))
            return "error: error none|err|negative|short|noequals|noblank";
        sim.setErrorMode(m);
        return "ok";
    }
    if (cmd == "form") {
        if (arg != "long" && arg != "short")
            return "error: form long|short";
        sim.setReportForm(arg == "short" ? ReportForm::Short : ReportForm::Long);
        return "ok";
    }
    if (cmd == "model") {
        if (arg != "supported" && arg != "unsupported")
            return "error: model supported|unsupported";
        sim.setSupportedModel(arg == "supported");
        return "ok";
    }
    if (cmd == "latency") {
        int ms = 0;
        if (!toInt(arg, 0, 1000, &ms))
            return "error: latency MS";
        sim.setAdapterLatency(ms);
        return "ok";
    }
    if (cmd == "loader-error") {
        if (!onOff(arg, &flag))
            return "error: loader-error on|off";
        sim.setLoaderError(flag);
        return "ok";
    }
    if (cmd == "recording") {
        RecordingKind kind;
        int seed = 1;
        if (!recordingFromName(arg, &kind) || (w.size() > 2 && !toInt(w[2], 0, 1000000000L, &seed)))
            return "error: recording default|humidity|fast|yearend|full|bad|irregular [SEED]";
        sim.setRecording(kind, static_cast<std::uint32_t>(seed));
        return "ok " + std::to_string(sim.recording().records.size());
    }
    if (cmd == "reading") {
        if (arg == "auto") {
            sim.clearReading();
            return "ok";
        }
        Reading r;
        double temp = 0;
        if (w.size() != 5 || !toInt(w[1], -9999, 99999, &r.x) || !toInt(w[2], -9999, 99999, &r.y) ||
            !toInt(w[3], -9999, 99999, &r.z) || !toDouble(w[4], &temp))
            return "error: reading X Y Z TEMP | reading auto";
        r.tempTenths = static_cast<int>(std::lround(temp * 10.0));
        sim.setReading(r);
        return "ok";
    }
    if (cmd == "stream-speed") {
        double f = 0;
        if (!toDouble(arg, &f) || f <= 0)
            return "error: stream-speed FACTOR";
        sim.setStreamSpeed(f);
        return "ok";
    }
    if (cmd == "commands") {
        // The last N commands received (10 unless given), oldest first, on
        // one line each; bytes outside printable ASCII as \xHH.
        int n = 10;
        if (!arg.empty() && !toInt(arg, 1, 100000, &n))
            return "error: commands [N]";
        const Observations o = sim.observations();
        const size_t from = o.commands.size() > static_cast<size_t>(n) ? o.commands.size() - static_cast<size_t>(n) : 0;
        std::ostringstream s;
        s << "ok " << (o.commands.size() - from);
        for (size_t i = from; i < o.commands.size(); ++i) {
            s << "\n  ";
            for (const unsigned char c : o.commands[i]) {
                if (c >= 0x20 && c < 0x7f && c != '\\') {
                    s << static_cast<char>(c);
                } else {
                    static const char hex[] = "0123456789ABCDEF";
                    s << "\\x" << hex[c >> 4] << hex[c & 15];
                }
            }
        }
        return s.str();
    }
    if (cmd == "status") {
        const Observations o = sim.observations();
        std::ostringstream s;
        s << "ok device=" << (o.plugged ? sim.devicePath() : "-") << " commands=" << o.commands.size()
          << " unknown=" << o.unknownBytes.size() << " acks=" << o.acks << " enq=" << o.enquiriesSent
          << " loader=" << (o.loaderMode ? 1 : 0) << " loader-lines=" << o.loaderLines
          << " open=" << o.portOpenCount;
        return s.str();
    }
    return "error: unknown command " + cmd;
}

}  // namespace zelt::sim
