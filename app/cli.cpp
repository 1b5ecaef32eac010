#include "app/cli.h"

#include "app/core/acquisition.h"
#include "app/core/command_text.h"
#include "app/core/conversions.h"
#include "app/core/csv_export.h"
#include "app/core/journal.h"
#include "app/core/source_url.h"
#include "app/forwarder.h"
#include "app/forwarding_set.h"
#include "app/main_chart.h"
#include "app/mqtt_source.h"
#include "app/network_sources.h"
#include "app/port_settings.h"
#include "app/recording.h"
#include "app/secret_store.h"
#include "app/serial_source.h"
#include "app/source_mix.h"
#include "app/termination.h"
#include "chart/core/item_file.h"
#include "chart/export.h"
#include "chart/kartex.h"
#include "serial/core/comport.h"
#include "serial/core/comtext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>
#include <QTimer>

#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Options of one subcommand: "--name value" pairs, flags, and positional arguments.
struct Options {
    std::map<QString, QString> values;            // the last of each
    std::vector<std::pair<QString, QString>> all; // every one, in order (repeatable options)
    QStringList flags;
    QStringList positional;

    std::optional<QString> Get(const QString& name) const {
        auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool Has(const QString& flag) const { return flags.contains(flag); }
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Options Parse(const QStringList& args, const QStringList& valueOptions, const QStringList& flagOptions) {
    Options o;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (valueOptions.contains(a)) {
            if (i + 1 >= args.size()) throw UsageError(("option " + a + " needs a value").toStdString());
            o.values[a] = args[++i];
            o.all.emplace_back(a, args[i]);
        } else if (flagOptions.contains(a)) {
            o.flags << a;
        } else if (a.startsWith('-') && a != "-") {
            throw UsageError(("unknown option " + a).toStdString());
        } else {
            o.positional << a;
        }
    }
    return o;
}

double NumberOption(const Options& o, const QString& name, double fallback) {
    const auto v = o.Get(name);
    if (!v) return fallback;
    try {
        return LocaleTextToFloat(v->toStdString(), '.');
    } catch (const EConvertError&) {
        throw UsageError(("option " + name + ": '" + *v + "' is not a number").toStdString());
    }
}

long long CountOption(const Options& o, const QString& name) {
    bool ok = false;
    const long long n = o.Get(name)->toLongLong(&ok);
    if (!ok || n <= 0) throw UsageError(("option " + name + " needs a positive whole number").toStdString());
    return n;
}

// A duration in seconds: a positive finite number ("60", "0.5", "1e6").
double DurationOption(const Options& o, const QString& name) {
    const std::optional<double> v = ReceivedLoneNumber(o.Get(name)->toStdString());
    if (!v || !std::isfinite(*v) || *v <= 0)
        throw UsageError(("option " + name + " needs a positive number of seconds, e.g. 60 or 0.5, not '" +
                          *o.Get(name) + "'")
                             .toStdString());
    return *v;
}

// An output that is there but is no regular file (a folder, a device, a pipe) is refused before any
// work is done: it would be replaced by a file or never be written whole.
void RefuseIrregularOutput(const QString& name) {
    struct stat st {};
    if (::stat(name.toLocal8Bit().constData(), &st) == 0 && !S_ISREG(st.st_mode))
        throw std::runtime_error("Cannot write \"" + name.toStdString() + "\": " +
                                 (S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file"));
}

// A file that loads although its length is odd (see ItemFileLengthNote) is worth a line on stderr.
void NoteOddLength(const char* command, const std::string& fileName, std::uint64_t length) {
    if (const std::string note = ItemFileLengthNote(length); !note.empty())
        std::cerr << "mevrant " << command << ": warning: \"" << fileName << "\" " << note << std::endl;
}

// --scale F and --offset N set the factor and the whole-number offset of every channel, as the
// window's fields do; --scale C=F and --offset C=O (repeatable) give channel C its own, any real
// number (channel 1's offset stays a whole number: it is the window's field).
void ApplyCalibrations(const Options& o, AcquisitionState& state) {
    state.DataScale = 1;
    state.DataOffset = 0;
    for (const auto& [name, value] : o.all) {
        if (name != "--scale" && name != "--offset") continue;
        const std::string text = value.toStdString();
        const std::size_t eq = text.find('=');
        int channel = 1;
        std::string number = text;
        if (eq != std::string::npos) {
            const std::optional<double> c = ReceivedLoneNumber(text.substr(0, eq));
            if (!c || *c != std::floor(*c) || *c < 1 || *c > kMaxChannels)
                throw UsageError(("option " + name + ": '" + value + "' needs a channel 1 ... 16 before '='")
                                     .toStdString());
            channel = static_cast<int>(*c);
            number = text.substr(eq + 1);
        }
        const bool global = eq == std::string::npos;
        try {
            if (name == "--offset" && (global || channel == 1)) {
                state.DataOffset = TextToInt(number);
            } else if (global || channel == 1) {
                state.DataScale = LocaleTextToFloat(number, '.');
            } else {
                const std::optional<double> v = ReceivedLoneNumber(number);
                if (!v || !std::isfinite(*v)) throw EConvertError(number);
                if (name == "--scale")
                    state.Calibrations[static_cast<std::size_t>(channel - 1)].Scale = *v;
                else
                    state.Calibrations[static_cast<std::size_t>(channel - 1)].Offset = *v;
            }
        } catch (const EConvertError&) {
            throw UsageError(("option " + name + ": '" + value + "' is not a number").toStdString());
        }
    }
}

const char* kRecordHelp =
    "usage: mevrant record [--port NAME [--baud RATE]] [--source URL [--ca FILE]]... [--forward URL "
    "[--qos 0|1] [--json] [--device NAME]]... [--scale [C=]F] "
    "[--offset [C=]O] "
    "[--time-axis] "
    "[--init TEXT]... [--send TEXT [--every SECONDS]] [--eol crlf|cr|lf|none] [--hex] (--count N | "
    "--seconds S) -o FILE.mvx\n"
    "Records an acquisition from a serial device as Start ... Stop and \"Erfassung speichern\" would, and\n"
    "prints the number of samples. Numbers use a period as decimal point. Every sample keeps its receive\n"
    "time; with --time-axis its x is that time in seconds since the start (\"X: Zeit (s)\"), else its\n"
    "number. Each sample is also kept, as it arrives, in the journal folder $XDG_DATA_HOME/mevrant (see\n"
    "\"Letzte Erfassungen\"), so a killed recording loses none. When the device goes away, what was\n"
    "received is saved, the port's error is printed and the exit status is 3. A line of several values\n"
    "(\"23.5,45.1\", \"temp:23.5 hum:45.1\") gives one sample per channel; --count counts lines. --seconds\n"
    "takes any positive number of seconds. An -o that is a folder, a device or a pipe is refused. On the\n"
    "journal's file system -o is the journal's run under a second name, not a copy; a later save over it\n"
    "replaces it and leaves the run as it was. --scale F and --offset N (a whole number) apply to every\n"
    "channel; --scale C=F and --offset C=O, repeatable, give channel C (2 ... 16) a factor and offset of\n"
    "its own, any real numbers. A label with a unit (\"temp[°C]:23.5\", \"p(hPa)\", \"I/A\", \"temp_C\")\n"
    "names the channel with its unit.\n"
    "--source udp://ADDRESS:PORT listens for datagrams (on 127.0.0.1 unless an address is named;\n"
    "udp://0.0.0.0:PORT listens on every interface), each holding one or many lines; --source\n"
    "tcp://HOST:PORT reads a TCP server's lines. --port NAME is --source NAME for a serial device.\n"
    "--source mqtt://[USER@]HOST[:PORT]/TOPIC subscribes to a broker's topic (wildcards + and # allowed):\n"
    "each message is a line, and a message of one value goes to a channel of its topic's, named by the\n"
    "topic's last level. mqtts:// is the same over TLS, checked against --ca FILE or the system's\n"
    "certificates. A USER's password is taken from the desktop's secret store, else asked for on the\n"
    "terminal (or read as a line from standard input) and kept there once the broker took it; where no\n"
    "store runs it is kept in memory for this recording only. A broker that goes away is waited for.\n"
    "Several sources (--port and --source, repeatable) are recorded in one run: each source's channels\n"
    "take the next numbers as they first show and are named SOURCE/CHANNEL (\"2/temp\", \"1/1\"), each\n"
    "source counts its own sample numbers, --count counts the lines of all, commands go to the first,\n"
    "and --scale C=F counts the channels of each source.\n"
    "--forward URL (repeatable) sends every sample on as it is recorded, read from the journal: to a\n"
    "broker, mqtt://[USER@]HOST[:PORT]/PREFIX, each to PREFIX/<channel name> with QoS 1 (--qos 0,\n"
    "--json as for mevrant forward); to a database, influx+http://[USER@]HOST[:PORT]/DATABASE (1.x),\n"
    "influx+http://HOST[:PORT]/ORG/BUCKET (2.x, with a token), influx+https://, or influx+udp://HOST:PORT,\n"
    "each as a line \"mevrant,device=NAME <channel>=<value> <ns>\" (--device NAME, default this machine's\n"
    "name). The recording never waits for a target; a target that is away is tried again, and what it\n"
    "acknowledged is kept beside the run. At the end up to 10 s go to sending what is left; what then\n"
    "is still not sent is told, with the mevrant forward command that sends it.\n"
    "Nothing is sent to the device unless asked: --init TEXT (repeatable) is sent once after the port\n"
    "opens, before anything is read; --send TEXT is sent after them, and with --every SECONDS again\n"
    "and again (a polled query, 0.001 s at least) while the recording goes on. Each command ends in\n"
    "--eol (default crlf); TEXT may hold \\r, \\n, \\t, \\\\ and \\xNN, or with --hex is hex bytes\n"
    "(\"FF 01 A3\"). An SCPI multimeter read 1000 times, every 0.2 s:\n"
    "  mevrant record --port /dev/ttyUSB0 --init '*RST' --init 'CONF:VOLT:DC 10' --send 'READ?' \\\n"
    "    --every 0.2 --count 1000 -o volts.mvx\n";

const char* kRenderHelp =
    "usage: mevrant render FILE.mvx -o FILE.bmp [--size WxH] [--xmax X] [--ymin Y] [--ymax Y] [--no-grid] "
    "[--log-y] [--time-axis] [--right N]... [--lanes] [--xy N [--trail K]]\n"
    "Loads an acquisition into a chart set up like the window's (default size 449x361, x from 0 to 100,\n"
    "y from 0 to 100) and writes the picture \"Grafik speichern als Bitmap (.bmp)\" writes. --log-y sets "
    "the\n"
    "chart up as checking \"Y  Log\" does: y from 0.1, double ticks, logarithmic y. --time-axis labels x\n"
    "as times, for a file recorded with x in seconds. --right N (repeatable) draws channel N against a y\n"
    "axis of its own at the right, fitted to its samples; channels the file keeps there go there too.\n"
    "--lanes draws every channel from the second on in a band of its own below the first, each with\n"
    "its own y axis fitted to its samples; channels on the right axis stay there. --xy N draws every\n"
    "other channel against channel N (the values of one line paired, joined in order), both axes\n"
    "fitted; --trail K keeps the last K lines.\n"
    "The picture is written under the name given, which\n"
    "ends in .bmp, and replaces an older file only when it is whole.\n";

const char* kCsvHelp =
    "usage: mevrant csv FILE.mvx [-o FILE.csv]\n"
    "Writes the samples of an acquisition file as CSV (RFC 4180) with the header sample,time,value:\n"
    "the sample number from 1, its receive time in ISO 8601 UTC (empty where the file holds none) and\n"
    "its value, with a period as decimal point. A file of several channels gives a row per x and a\n"
    "column per channel, named as the channel (or value1, value2, ...); a channel without a sample at\n"
    "that x leaves its field empty. Names that a spreadsheet would take as formulas are made text. The\n"
    "file is read as the CSV is written, so its size is not limited by memory; an -o file is replaced\n"
    "only by a whole CSV.\n";

// Where record reads, in order: --port NAME (the serial shorthand) first, then each --source URL.
std::vector<SourceUrl> RecordSources(const Options& o) {
    std::vector<SourceUrl> sources;
    if (const auto port = o.Get("--port")) {
        SourceUrl serial;
        serial.Host = port->toStdString();
        sources.push_back(serial);
    }
    for (const auto& [name, value] : o.all) {
        if (name != "--source") continue;
        std::string error;
        const std::optional<SourceUrl> url = ParseSourceUrl(value.toStdString(), &error);
        if (!url) throw UsageError("option --source: " + error);
        if (!IsSourceKind(url->Type))
            throw UsageError("option --source: " + SourceUrlText(*url) + " is where samples go (--forward)");
        for (const SourceUrl& known : sources)
            if (SourceUrlText(known) == SourceUrlText(*url))
                throw UsageError("option --source: " + SourceUrlText(*url) + " is given twice");
        sources.push_back(*url);
    }
    if (sources.size() > static_cast<std::size_t>(kMaxChannels))
        throw UsageError("option --source: at most " + std::to_string(kMaxChannels) + " sources");
    return sources;
}

// A line typed on the terminal without showing it, or read from standard input when that is no
// terminal (a script's pipe).
std::string ReadSecretLine(const std::string& prompt) {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    termios was{};
    if (terminal) {
        std::cerr << prompt << std::flush;
        ::tcgetattr(STDIN_FILENO, &was);
        termios quiet = was;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &was);
        std::cerr << std::endl;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The password of a broker's user for `command`: the secret store's, else asked for. *keep tells
// whether to put it into the store once the broker has taken it.
std::string ServicePassword(const SourceUrl& url, bool* keep, const std::string& command) {
    const std::string key = SourceServerText(url);
    const secrets::Found found = secrets::Read(key);
    *keep = false;
    if (found.Secret) return *found.Secret;
    if (!found.StoreRuns)
        std::cerr << "mevrant " << command << ": no secret store runs here: the "
                  << (IsInfluxBucket(url) ? "token" : "password") << " is kept in memory for this "
                  << (command == "record" ? "recording" : "run") << " only" << std::endl;
    *keep = found.StoreRuns;
    return ReadSecretLine((IsInfluxBucket(url) ? "Token für " : "Passwort für ") + key + ": ");
}

// What record sends: the bytes of --init, --send and --every's interval (0: once).
struct Commands {
    std::vector<std::string> Init, InitText; // bytes and what was typed (the marks' texts)
    std::string Send, SendText;
    int EveryMs = 0;
};

Commands RecordCommands(const Options& o) {
    LineEnd end = LineEnd::CrLf;
    if (const auto eol = o.Get("--eol")) {
        const auto named = LineEndNamed(eol->toStdString());
        if (!named)
            throw UsageError(("option --eol: '" + *eol + "' is none of crlf, cr, lf, none").toStdString());
        end = *named;
    }
    const auto bytes = [&](const QString& option, const QString& text) {
        CommandBytes b = CommandToBytes(text.toStdString(), o.Has("--hex"), end);
        if (!b.Error.empty()) throw UsageError(("option " + option).toStdString() + ": " + b.Error);
        return std::move(b.Bytes);
    };
    Commands c;
    for (const auto& [name, value] : o.all)
        if (name == "--init") {
            c.Init.push_back(bytes(name, value));
            c.InitText.push_back(value.toStdString());
        }
    if (const auto send = o.Get("--send")) {
        c.Send = bytes("--send", *send);
        c.SendText = send->toStdString();
    }
    if (o.Get("--every")) {
        if (c.Send.empty()) throw UsageError("option --every needs --send");
        const double seconds = DurationOption(o, "--every");
        if (seconds < 0.001 || seconds > 86400)
            throw UsageError("option --every needs 0.001 ... 86400 seconds");
        c.EveryMs = static_cast<int>(std::lround(seconds * 1000));
    }
    return c;
}

// Whether a URL names a source or target spoken to over TLS (what --ca is for).
bool SpeaksTls(const QString& text) {
    std::string error;
    const std::optional<SourceUrl> url = ParseSourceUrl(text.toStdString(), &error);
    return url && url->Secure;
}

// A target of --forward or mevrant forward, with the options that shape what it is sent.
ForwardTarget ForwardTargetOf(const QString& text, const Options& o, const std::string& option, bool* keep,
                              const std::string& command) {
    std::string error;
    const std::optional<SourceUrl> url = ParseSourceUrl(text.toStdString(), &error);
    if (!url) throw UsageError(option + ": " + error);
    if (IsSourceKind(url->Type) && url->Type != SourceUrl::Kind::Mqtt)
        throw UsageError(option + ": the target is an mqtt://, mqtts://, influx+http://, influx+https:// or "
                                  "influx+udp:// URL");
    const bool mqtt = url->Type == SourceUrl::Kind::Mqtt;
    ForwardTarget target;
    target.Url = *url;
    target.Json = o.Has("--json");
    if (const auto qos = o.Get("--qos")) {
        if (*qos != "0" && *qos != "1") throw UsageError("option --qos: 0 or 1");
        target.Qos = qos->toInt();
    }
    if ((o.Get("--qos") || o.Has("--json")) && !mqtt && command == "forward")
        throw UsageError("options --qos and --json are for mqtt:// targets");
    if (const auto device = o.Get("--device")) {
        if (device->isEmpty()) throw UsageError("option --device: a name");
        target.Device = device->toStdString();
    } else {
        target.Device = QSysInfo::machineHostName().toStdString();
        if (target.Device.empty()) target.Device = "mevrant";
    }
    if (url->Secure && o.Get("--ca")) target.CaFile = o.Get("--ca")->toStdString();
    if (!url->User.empty() || IsInfluxBucket(*url)) target.Password = ServicePassword(*url, keep, command);
    return target;
}

// How long a recording's end waits for its forwarders to send what is left.
constexpr int kForwardDrainSeconds = 10;

int Record(const QStringList& args) {
    const Options o =
        Parse(args,
              {"--port", "--source", "--baud", "--scale", "--offset", "--count", "--seconds", "-o", "--init",
               "--send", "--every", "--eol", "--ca", "--forward", "--qos", "--device"},
              {"--time-axis", "--hex", "--json", "--help"});
    if (o.Has("--help")) {
        std::cout << kRecordHelp;
        return 0;
    }
    if ((!o.Get("--port") && !o.Get("--source")) || !o.Get("-o") ||
        (o.Get("--count").has_value() == o.Get("--seconds").has_value()))
        throw UsageError(kRecordHelp);
    const std::vector<SourceUrl> wheres = RecordSources(o);
    const long long count = o.Get("--count") ? CountOption(o, "--count") : (1LL << 62);
    const double seconds = o.Get("--seconds") ? DurationOption(o, "--seconds") : 0;
    RefuseIrregularOutput(*o.Get("-o"));
    const Commands commands = RecordCommands(o);
    if (o.Get("--ca") &&
        std::none_of(wheres.begin(), wheres.end(), [](const SourceUrl& u) { return u.Secure; }) &&
        std::none_of(o.all.begin(), o.all.end(),
                     [](const auto& v) { return v.first == "--forward" && SpeaksTls(v.second); }))
        throw UsageError("option --ca is for mqtts:// sources and targets");

    // Where every sample goes on to, each target's password asked for before anything starts.
    std::vector<ForwardTarget> targets;
    std::vector<bool> keepPasswords;
    for (const auto& [name, value] : o.all) {
        if (name != "--forward") continue;
        bool keep = false;
        targets.push_back(ForwardTargetOf(value, o, "option --forward", &keep, "record"));
        keepPasswords.push_back(keep);
    }

    TKartex chart;
    ConfigureMainChart(chart);
    // Each source and what it needs: a serial device its port, a user of a broker a password (the
    // secret store's, else asked for; kept there once the broker took it).
    struct Source {
        SourceUrl Url;
        std::unique_ptr<TComPort> Port;
        std::unique_ptr<ByteSource> Reader;
        std::unique_ptr<Recording> Run;
        std::string Password;
        bool KeepPassword = false;
    };
    // The chart's sink and the mix go before the sources: their recordings hold on to them to the end.
    KartexSink chartSink(chart);
    std::unique_ptr<SourceMix> mix;
    if (wheres.size() > 1) mix = std::make_unique<SourceMix>(chartSink);
    std::vector<Source> sources(wheres.size());
    for (std::size_t k = 0; k < wheres.size(); ++k) {
        Source& src = sources[k];
        src.Url = wheres[k];
        switch (src.Url.Type) {
        case SourceUrl::Kind::Serial:
            src.Port = std::make_unique<TComPort>();
            ConfigureMainPort(*src.Port);
            src.Port->SetPort(src.Url.Host);
            if (const auto baud = o.Get("--baud")) SetBaudFromText(*src.Port, baud->toStdString());
            src.Reader = std::make_unique<SerialSource>(*src.Port);
            break;
        case SourceUrl::Kind::Udp:
            src.Reader = std::make_unique<UdpSource>(src.Url);
            break;
        case SourceUrl::Kind::Tcp:
            src.Reader = std::make_unique<TcpSource>(src.Url);
            break;
        case SourceUrl::Kind::Mqtt: {
            auto mqtt =
                std::make_unique<MqttSource>(src.Url, o.Get("--ca").value_or(QString()).toStdString());
            if (!src.Url.User.empty())
                mqtt->SetPassword(src.Password = ServicePassword(src.Url, &src.KeepPassword, "record"));
            src.Reader = std::move(mqtt);
            break;
        }
        case SourceUrl::Kind::InfluxHttp:
        case SourceUrl::Kind::InfluxUdp:
            break; // no source: RecordSources refused it
        }
    }

    // The run as the window's Start would make it. The samples live in the journal's files as they
    // arrive: a killed recording keeps what it received, and memory does not limit its length. Several
    // sources each have a recording of their own, their channels numbered into the one chart by the
    // mix; the first source's recording keeps the journal of them all.
    const auto quit = [] { QTimer::singleShot(0, [] { QCoreApplication::exit(0); }); };
    std::string gone; // the first source that went away for good, as the user knows it
    std::string portError;
    for (Source& src : sources) {
        src.Run = std::make_unique<Recording>(*src.Reader,
                                              mix ? mix->AddLane() : static_cast<ListSink&>(chartSink));
        Recording& recording = *src.Run;
        ByteSource& reader = *src.Reader;
        reader.OnDropped = [](const std::string& text) {
            std::cerr << "mevrant record: " << text << std::endl;
        };
        // A device that goes away ends the recording; a broker that restarts is waited for.
        recording.SetReconnect(src.Url.Type == SourceUrl::Kind::Mqtt);
        recording.OnStateChanged = [&recording, &reader] {
            if (recording.Waiting() && recording.LossMessage().empty())
                std::cerr << "mevrant record: " << reader.Where() << " went away; waiting for it"
                          << std::endl;
            else if (!recording.Waiting())
                std::cerr << "mevrant record: " << reader.Where() << " is back" << std::endl;
        };
        if (!mix) recording.SetLineLimit(count);
        Acquisition& acq = recording.Acq();
        ApplyCalibrations(o, acq.State());
        acq.State().TimeAxis = o.Has("--time-axis");
        recording.OnJournalFault = [](const EJournalError& e) {
            std::cerr << "mevrant record: " << e.what() << std::endl;
        };
        recording.OnFull = quit;
        recording.OnGone = [&, serial = src.Url.Type == SourceUrl::Kind::Serial] {
            if (gone.empty()) gone = serial && sources.size() == 1 ? "the device" : reader.Where();
            quit();
        };
    }
    if (mix) {
        mix->SetLineLimit(count);
        mix->OnFull = quit;
        mix->OnNoRoom = [] {
            std::cerr << "mevrant record: the sources have more than " << kMaxChannels
                      << " channels together; the samples of the others are not kept" << std::endl;
        };
    }
    Recording& first = *sources.front().Run;
    SetErrorReporter([&](const std::string& message, const std::string&) { portError = message; });
    // A signal stops the recording as reaching --count does: -o is written and the status is 0. A second
    // one ends the process at once (the journal keeps what came).
    HandleTerminationSignals(
        &first, [] { QCoreApplication::exit(0); }, 130);
    chart.ClearItems();
    try {
        ListJournalRuns(Journal::DefaultFolder()); // recovers the runs of recorders that were killed
        first.SetJournalFolder(Journal::DefaultFolder());
    } catch (const EJournalError& e) {
        first.OnJournalFault(e);
    }
    // Commands go to the first source (the device that is asked).
    first.SetInitCommands(commands.Init, commands.InitText);
    for (Source& src : sources) {
        src.Run->Start();
        if (src.Url.Type != SourceUrl::Kind::Serial)
            std::cerr << "mevrant record: reading " << src.Reader->Where() << std::endl;
        if (src.KeepPassword) secrets::Write(SourceServerText(src.Url), src.Password); // the broker took it
    }
    // The forwarders read the run's journal from a thread each, told by the recording how many of each
    // channel's records are whole; the recording never waits for them. At the end they are given a
    // while to send the rest, and what they could not is sent later by "mevrant forward".
    ForwardingSet forwarding(
        [](const std::string& text) { std::cerr << "mevrant record: " << text << std::endl; });
    forwarding.SetTargets(targets);
    if (!targets.empty() && !first.RunJournal().Active())
        std::cerr << "mevrant record: without the journal nothing can be forwarded" << std::endl;
    else if (!targets.empty())
        forwarding.Begin(first.RunJournal().Path());
    for (Source& src : sources)
        src.Run->OnReceived = [&](int) { forwarding.Tell(chart); };
    first.OnMark = [&](const std::string&) { forwarding.Tell(chart); };
    const auto previousFault = first.OnJournalFault;
    first.OnJournalFault = [&, previousFault](const EJournalError& e) {
        forwarding.Freeze(); // the lists went on in memory: the files hold no more
        previousFault(e);
    };
    first.OnEnding = [&] {
        if (!forwarding.Live()) return;
        forwarding.Tell(chart);
        const std::vector<ForwardingSet::Left> left = forwarding.End(kForwardDrainSeconds);
        for (std::size_t k = 0; k < targets.size(); ++k) {
            const std::string url = SourceUrlText(targets[k].Url);
            const auto l = std::find_if(left.begin(), left.end(),
                                        [&](const auto& x) { return SourceUrlText(x.Target.Url) == url; });
            if (l != left.end())
                std::cerr << "mevrant record: " << l->Records << " records not yet forwarded to " << url
                          << "; mevrant forward " << first.RunJournal().Path() << ' ' << url << " sends them"
                          << std::endl;
            else if (keepPasswords[k])
                secrets::Write(SourceServerText(targets[k].Url), targets[k].Password); // the target took it
        }
    };
    if (!commands.Send.empty()) {
        if (commands.EveryMs > 0)
            first.StartPoll(commands.Send, commands.EveryMs, commands.SendText);
        else
            first.Send(commands.Send, commands.SendText);
    }
    // --seconds of any length: the steady clock decides, looked at after waits a timer can take.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    const auto started = std::chrono::steady_clock::now();
    QObject::connect(&deadline, &QTimer::timeout, [&] {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        if (const auto wait = RecordingWait(seconds, elapsed.count()); wait.count() > 0)
            return deadline.start(wait);
        QCoreApplication::exit(0);
    });
    if (seconds > 0) deadline.start(RecordingWait(seconds, 0));
    QCoreApplication::exec();
    // The other sources end first: their last lines go into the journal the first one ends.
    for (std::size_t k = sources.size(); k-- > 1;)
        sources[k].Run->Stop();
    const Recording::Ended ended = first.Stop();
    // A whole run is the file -o asks for, record for record (the channels joined in their order): it
    // goes there under a second name rather than as a second copy of every record.
    const std::string out = o.Get("-o")->toStdString();
    struct stat run {};
    const bool same = ended.Whole && ::stat(ended.Run.c_str(), &run) == 0 &&
                      static_cast<std::size_t>(run.st_size) == ChartRecordCount(chart) * kChartItemSize;
    if (!same || !LinkWholeFile(ended.Run, out)) chart.SaveItemFile(out);
    if (ended.Whole) MarkJournalRunSaved(ended.Run);
    std::cout << (mix ? mix->LinesTaken() : first.LinesTaken()) << std::endl;
    if (!gone.empty()) {
        // The port's report comes right after the loss, so it is looked at now.
        std::cerr << "mevrant record: " << (!portError.empty() ? portError : gone + " went away")
                  << std::endl;
        return 3;
    }
    return 0;
}

// The channel an option names, 1 … the chart's channels; a usage error for any other text.
int FileChannel(const QString& option, const QString& value, const TKartex& chart) {
    bool ok = false;
    const int channel = value.toInt(&ok);
    if (!ok || channel < 1 || channel > chart.SeriesCount())
        throw UsageError(("option " + option + ": '" + value + "' is no channel of the file (1 ... " +
                          QString::number(chart.SeriesCount()) + ")")
                             .toStdString());
    return channel;
}

int Render(const QStringList& args) {
    const Options o =
        Parse(args, {"-o", "--size", "--xmax", "--ymin", "--ymax", "--right", "--xy", "--trail"},
              {"--no-grid", "--log-y", "--time-axis", "--lanes", "--help"});
    if (o.Has("--help")) {
        std::cout << kRenderHelp;
        return 0;
    }
    if (o.positional.size() != 1 || !o.Get("-o")) throw UsageError(kRenderHelp);
    RefuseIrregularOutput(*o.Get("-o"));
    // The picture is a BMP and is written under the name given, or not at all.
    const std::string out = o.Get("-o")->toStdString();
    if (BitmapFileName(out) != out)
        throw UsageError("mevrant render: -o \"" + out + "\": the picture is a BMP file; name it \"" +
                         BitmapFileName(out) + "\"");
    int w = 449, h = 361;
    if (const auto size = o.Get("--size")) {
        const QStringList parts = size->split('x');
        bool okw = false, okh = false;
        if (parts.size() == 2) {
            w = parts[0].toInt(&okw);
            h = parts[1].toInt(&okh);
        }
        if (!okw || !okh || w <= 0 || h <= 0 || w > 16384 || h > 16384)
            throw UsageError("option --size needs WIDTHxHEIGHT, e.g. 449x361");
    }
    TKartex chart;
    ConfigureMainChart(chart);
    chart.resize(w, h);
    chart.SetBounds(0, 0, w, h);
    const float xmax = static_cast<float>(NumberOption(o, "--xmax", 100));
    const float ymax = static_cast<float>(NumberOption(o, "--ymax", 100));
    if (o.Has("--log-y")) {
        ApplyLogY(chart, xmax, ymax, static_cast<float>(NumberOption(o, "--ymin", 0.1)));
    } else {
        chart.SetScaleRange(1, 0.0L, static_cast<float>(NumberOption(o, "--ymin", 0)), xmax, ymax);
    }
    if (o.Has("--no-grid")) chart.SetGridStyle(gsNone);
    if (o.Has("--time-axis")) chart.Scale1X()->SetLabelType(ftTime);
    const std::string in = o.positional[0].toStdString();
    RecoverJournalRun(in); // a run of a killed writer is made whole first
    chart.LoadItemFile(in, true);
    struct stat st {};
    if (::stat(in.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        NoteOddLength("render", in, static_cast<std::uint64_t>(st.st_size));
    // Channels put on the right axis here join those the file has there.
    for (const auto& [name, value] : o.all)
        if (name == "--right")
            chart.SeriesStore(FileChannel(name, value, chart) - 1).SetLayer(kRightAxisLayer);
    // One lane per channel from the second on: each its own band and y range.
    if (o.Has("--lanes"))
        for (int c = 1; c < chart.SeriesCount(); ++c)
            if (const TItemStore& list = chart.SeriesStore(c);
                CanHaveLane(c) && list.ItemCount() > 0 && list.Item(0).Layer != kRightAxisLayer)
                chart.SeriesStore(c).SetLayer(LaneLayer(c));
    ShowAxesOfChannels(chart);
    FitRightAxis(chart);
    if (const auto xy = o.Get("--xy")) {
        const int channel = FileChannel("--xy", *xy, chart);
        const long long trail = o.Get("--trail") ? CountOption(o, "--trail") : 0;
        chart.SetXYView(channel - 1, static_cast<int>(std::min<long long>(trail, INT_MAX)));
        FitXY(chart, true, true);
    }
    chart.ExportBitmap(out, true);
    return 0;
}

int Csv(const QStringList& args) {
    const Options o = Parse(args, {"-o"}, {"--help"});
    if (o.Has("--help")) {
        std::cout << kCsvHelp;
        return 0;
    }
    if (o.positional.size() != 1) throw UsageError(kCsvHelp);
    RecoverJournalRun(o.positional[0].toStdString()); // a run of a killed writer is made whole first
    // The file is read a piece at a time as the CSV is written: memory does not grow with it.
    const ItemFileReader file(o.positional[0].toStdString());
    NoteOddLength("csv", o.positional[0].toStdString(), file.Length());
    const auto target = o.Get("-o");
    if (!target) {
        if (const int err = WriteSamplesCsv(STDOUT_FILENO, file))
            throw std::runtime_error(std::string("Cannot write the standard output: ") + std::strerror(err));
        return 0;
    }
    // A file is replaced only by a whole CSV.
    RefuseIrregularOutput(*target);
    SaveWholeFile(
        target->toStdString(), [&file](int fd) { return WriteSamplesCsv(fd, file); },
        [&file] {
            std::size_t bytes = 0;
            WriteSamplesCsv(-1, file, &bytes);
            return bytes;
        });
    return 0;
}

const char* kForwardHelp =
    "usage: mevrant forward RUN.mvx URL [--qos 0|1] [--json] [--device NAME] [--ca FILE] [--from TIME]\n"
    "       [--to TIME]\n"
    "Sends the records of a kept run (a file of the journal, or any acquisition file) on, in the order\n"
    "they were received. To a broker, mqtt://[USER@]HOST[:PORT]/PREFIX: each sample to\n"
    "PREFIX/<channel name> (the value as text, or with --json {\"t\": <unix seconds>, \"v\": <value>}),\n"
    "each mark to PREFIX/events, with QoS 1 unless --qos 0. To a database taking the line protocol,\n"
    "influx+http://[USER@]HOST[:PORT]/DATABASE (a 1.x server), influx+http://HOST[:PORT]/ORG/BUCKET (a 2.x\n"
    "server, with a token), influx+https:// (the same over TLS) or influx+udp://HOST[:PORT] (a socket\n"
    "listener): each sample as \"mevrant,device=NAME <channel>=<value> <nanoseconds>\", each mark as\n"
    "\"mevrant_events,device=NAME text=\\\"...\\\" <nanoseconds>\", in batches; NAME is --device, else this\n"
    "machine's name. Samples received in the same microsecond are stamped a nanosecond apart in their\n"
    "order, so the database keeps each. --from and --to (ISO 8601, as 2026-12-11T09:30:00Z, or unix\n"
    "seconds) send only the records received between them. What the target acknowledged (a broker's\n"
    "PUBACK, a database's 2xx answer; over QoS 0 and UDP the write) is kept beside the run\n"
    "(RUN.mvx.forward-<key>), so a forward that was cut short (a target away, a kill, Ctrl-C) goes on\n"
    "from there when started again: every record arrives at least once, and a database takes a repeat\n"
    "as the same point. A target that is away is tried again and again, waiting up to 5 s between tries;\n"
    "one that refuses the user, or refuses the lines, ends it. mqtts:// and influx+https:// speak TLS,\n"
    "checked against --ca FILE or the system's certificates. A USER's password, or a bucket's token, is\n"
    "taken as record takes a password. Prints the number of records acknowledged; the status is 0 when\n"
    "that is all of them, 130 when a signal stopped it first.\n";

volatile std::sig_atomic_t forwardStop = 0;

int Forward(const QStringList& args) {
    const Options o = Parse(args, {"--qos", "--ca", "--device", "--from", "--to"}, {"--json", "--help"});
    if (o.Has("--help")) {
        std::cout << kForwardHelp;
        return 0;
    }
    if (o.positional.size() != 2) throw UsageError(kForwardHelp);
    const std::string run = o.positional[0].toStdString();
    if (o.Get("--ca") && !SpeaksTls(o.positional[1]))
        throw UsageError("option --ca is for mqtts:// and influx+https:// targets");
    RecoverJournalRun(run); // a run of a killed writer is made whole first
    bool keep = false;
    ForwardTarget target = ForwardTargetOf(o.positional[1], o, "mevrant forward", &keep, "forward");
    for (const char* option : {"--from", "--to"}) {
        const auto text = o.Get(option);
        if (!text) continue;
        bool number = false;
        double seconds = text->toDouble(&number);
        if (!number) {
            const QDateTime at = QDateTime::fromString(*text, Qt::ISODateWithMs);
            if (!at.isValid())
                throw UsageError(std::string("option ") + option + ": '" + text->toStdString() +
                                 "' is no time (2026-12-11T09:30:00Z, or unix seconds)");
            seconds = at.toMSecsSinceEpoch() / 1000.0;
        }
        (std::string(option) == "--from" ? target.From : target.To) = seconds;
    }
    if (target.From > target.To) throw UsageError("option --from: a time before --to");
    forwardStop = 0;
    for (const int signal : {SIGINT, SIGTERM})
        std::signal(signal, [](int) { forwardStop = 1; });
    RunForwarder forwarder(run, target);
    bool told = false;
    const RunForwarder::Report r = forwarder.Run([] { return forwardStop != 0; },
                                                 [&](const std::string& text) {
                                                     // The first loss in a row is told, not every retry.
                                                     if (!told)
                                                         std::cerr << "mevrant forward: " << text
                                                                   << std::endl;
                                                     told = true;
                                                 });
    if (keep && r.Acked > r.From)
        secrets::Write(SourceServerText(target.Url), target.Password); // the target took it
    if (r.From > 0)
        std::cerr << "mevrant forward: went on from record " << r.From << " of " << r.Records
                  << ", where the acknowledgements had come to" << std::endl;
    std::cout << r.Acked << std::endl;
    return r.Acked < r.Records ? 130 : 0;
}

const char* kJournalHelp =
    "usage: mevrant journal [--folder DIR]\n"
    "Lists the runs the journal keeps ($XDG_DATA_HOME/mevrant, else ~/.local/share/mevrant), oldest first,\n"
    "one a line: the file, the start time, the samples' records and the state (running, unfinished,\n"
    "saved or kept). A run whose writer was killed is made whole on the way: the room it reserved is\n"
    "cut and its channels are joined, as the window does at its start; a running run is never touched.\n";

int JournalCommand(const QStringList& args) {
    const Options o = Parse(args, {"--folder"}, {"--help"});
    if (o.Has("--help")) {
        std::cout << kJournalHelp;
        return 0;
    }
    if (!o.positional.isEmpty()) throw UsageError(kJournalHelp);
    const std::string folder =
        o.Get("--folder") ? o.Get("--folder")->toStdString() : Journal::DefaultFolder();
    for (const JournalRun& r : ListJournalRuns(folder)) {
        const char* state = r.Running ? "running" : r.Unfinished ? "unfinished" : r.Saved ? "saved" : "kept";
        std::cout << r.Path << '\t' << r.Name << '\t' << r.Records << '\t' << state << '\n';
    }
    return 0;
}

} // namespace

bool IsSubcommand(const QStringList& args) {
    return !args.isEmpty() && (args[0] == "record" || args[0] == "render" || args[0] == "csv" ||
                               args[0] == "journal" || args[0] == "forward");
}

int RunSubcommand(const QStringList& args) {
    try {
        if (args[0] == "record") return Record(args);
        if (args[0] == "render") return Render(args);
        if (args[0] == "journal") return JournalCommand(args);
        if (args[0] == "forward") return Forward(args);
        return Csv(args);
    } catch (const UsageError& e) {
        std::cerr << e.what() << (std::string(e.what()).ends_with('\n') ? "" : "\n");
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "mevrant " << args[0].toStdString() << ": " << e.what() << std::endl;
        return 1;
    }
}
