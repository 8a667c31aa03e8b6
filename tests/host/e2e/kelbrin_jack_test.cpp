// Kelbrin end to end: the program with the built Tambrell.so on a JACK server
// (./test runs one on the dummy backend) in a real X server. A JACK client of
// the test plays a 1 kHz sine into Kelbrin's inputs and records its outputs;
// XTest is the user's hand on the pedal board.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "tests/support/PictureFiles.h"
#include "tests/support/SignalMeasure.h"
#include "tests/support/TempFolder.h"

extern char** environ;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRecordFrames = 48000;
constexpr int kEditorWidth = 766;
constexpr int kEditorHeight = 484;

// The device Kelbrin opens: JACK's own "system" ports, two each way.
const char* const kSettings = R"(<?xml version="1.0" encoding="UTF-8"?>
<PROPERTIES>
  <VALUE name="audioDeviceSetup">
    <DEVICESETUP deviceType="JACK" audioOutputDeviceName="system" audioInputDeviceName="system"
                 audioDeviceRate="48000.0" audioDeviceBufferSize="256" audioDeviceInChans="11"
                 audioDeviceOutChans="11"/>
  </VALUE>
</PROPERTIES>
)";

struct Probe {
    jack_client_t* client = nullptr;
    jack_port_t* out[2] = {};
    jack_port_t* in[2] = {};
    double phase = 0.0;
    double rate = 48000.0;
    std::vector<float> recorded = std::vector<float>(kRecordFrames);
    std::atomic<int> written {0};
    std::atomic<bool> recording {false};

    static int process(jack_nframes_t frames, void* arg)
    {
        auto* p = static_cast<Probe*>(arg);
        auto* l = static_cast<float*>(jack_port_get_buffer(p->out[0], frames));
        auto* r = static_cast<float*>(jack_port_get_buffer(p->out[1], frames));
        const auto* back = static_cast<const float*>(jack_port_get_buffer(p->in[0], frames));
        for (jack_nframes_t i = 0; i < frames; ++i) {
            l[i] = r[i] = static_cast<float>(0.25 * std::sin(p->phase));
            p->phase += 2.0 * kPi * 1000.0 / p->rate;
        }
        if (p->recording.load()) {
            int at = p->written.load();
            for (jack_nframes_t i = 0; i < frames && at < kRecordFrames; ++i)
                p->recorded[static_cast<std::size_t>(at++)] = back[i];
            p->written.store(at);
        }
        return 0;
    }
};

// From the build tree by its full path, or, given an installed bin folder,
// by name through PATH from home, as a shell or a launcher starts it.
pid_t startKelbrin(const std::string& home, const std::string& installedBin = {})
{
    const std::string homeVar = "HOME=" + home;
    std::vector<std::string> env {homeVar};
    const char* path = std::getenv("PATH");
    if (!installedBin.empty())
        env.push_back("PATH=" + installedBin + ":" + (path ? path : "/usr/bin:/bin"));
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "HOME=", 5) != 0 && (installedBin.empty() || std::strncmp(*e, "PATH=", 5) != 0))
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (installedBin.empty()) {
        std::string program = TB_KELBRIN;
        char* argv[] = {program.data(), nullptr};
        return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
    }
    std::string shell = "/bin/sh", option = "-c", command = "exec Kelbrin";
    char* argv[] = {shell.data(), option.data(), command.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, home.c_str());
    const int failed = posix_spawn(&pid, shell.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

// The plug-in and the program installed into prefix, as a user installs them.
bool install(const std::string& prefix)
{
    for (const char* component : {"plugin", "kelbrin"}) {
        const std::string command = std::string("timeout 120 '") + TB_CMAKE + "' --install '" + TB_BUILD_DIR
            + "' --prefix '" + prefix + "' --component " + component + " >/dev/null";
        if (std::system(command.c_str()) != 0)
            return false;
    }
    return true;
}

std::vector<std::string> outputPorts(jack_client_t* client)
{
    std::vector<std::string> names;
    if (const char** ports = jack_get_ports(client, "^Kelbrin[^:]*:out_1$", nullptr, 0)) {
        for (const char** p = ports; *p; ++p)
            names.emplace_back(*p);
        jack_free(ports);
    }
    return names;
}

// Kelbrin's JACK client name: the server renames a second "Kelbrin" (one
// that a killed run left behind, say), so the new one is the client whose
// ports were not there before.
std::string waitForClient(jack_client_t* client, const std::vector<std::string>& before, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        for (const std::string& port : outputPorts(client))
            if (std::find(before.begin(), before.end(), port) == before.end())
                return port.substr(0, port.find(':'));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return {};
}

void saveScreen(const std::string& path)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes {};
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
        static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image) {
        const auto bmp = tbtest::makeBmp(attributes.width, attributes.height, [image](int x, int y) {
            const unsigned long p = XGetPixel(image, x, y);
            return tbtest::Rgba {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)};
        });
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), bmp.size());
        XDestroyImage(image);
    }
    XCloseDisplay(display);
}

class KelbrinJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY") || !std::getenv("JACK_DEFAULT_SERVER"))
            GTEST_SKIP() << "needs DISPLAY and a JACK server named by JACK_DEFAULT_SERVER (./test starts both)";
        probe.client = jack_client_open("kelbrin-e2e", JackNoStartServer, nullptr);
        if (!probe.client)
            GTEST_SKIP() << "no JACK server";
        probe.rate = jack_get_sample_rate(probe.client);
        for (int c = 0; c < 2; ++c) {
            const std::string n = std::to_string(c + 1);
            probe.out[c]
                = jack_port_register(probe.client, ("out_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
            probe.in[c]
                = jack_port_register(probe.client, ("in_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        }
        jack_set_process_callback(probe.client, &Probe::process, &probe);
        ASSERT_EQ(jack_activate(probe.client), 0);
        std::ofstream(home.makeFolder(".Tambrell") + "/Tambrell.settings") << kSettings;
    }
    void TearDown() override
    {
        if (kelbrin > 0) {
            kill(kelbrin, SIGKILL);
            waitpid(kelbrin, nullptr, 0);
        }
        if (probe.client)
            jack_client_close(probe.client);
    }
    struct Sound {
        double amplitude = 0.0;
        double thirdHarmonicDb = 0.0;
    };
    // Starts Kelbrin and wires it to the probe; false when its ports never appear.
    bool start(const std::string& installedBin = {})
    {
        const std::vector<std::string> before = outputPorts(probe.client);
        kelbrin = startKelbrin(home.path(), installedBin);
        EXPECT_GT(kelbrin, 0);
        const std::string name = waitForClient(probe.client, before, 20);
        if (name.empty())
            return false;
        const std::string self = jack_get_client_name(probe.client);
        for (int c = 1; c <= 2; ++c) {
            const std::string n = std::to_string(c);
            jack_connect(probe.client, (self + ":out_" + n).c_str(), (name + ":in_" + n).c_str());
            jack_connect(probe.client, (name + ":out_" + n).c_str(), (self + ":in_" + n).c_str());
        }
        return true;
    }
    // Kelbrin's sound once it holds still: a loaded machine may take many
    // seconds to start playing, or a while to switch a program, so seconds
    // are recorded until one is not silent (half a minute at most) and then
    // until two in a row agree (ten more at most).
    Sound settled()
    {
        Sound last = record();
        for (int i = 0; i < 30 && last.amplitude < 1e-4; ++i)
            last = record();
        for (int i = 0; i < 10; ++i) {
            const Sound next = record();
            if (next.amplitude > 1e-4 && std::fabs(20.0 * std::log10(next.amplitude / last.amplitude)) < 0.02
                && std::fabs(next.thirdHarmonicDb - last.thirdHarmonicDb) < 1.0)
                return next;
            last = next;
        }
        return last;
    }
    Sound record()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        probe.written = 0;
        probe.recording = true;
        // JACK's clock paces the frames; a loaded machine may hold them back.
        for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
             probe.written.load() < kRecordFrames && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        probe.recording = false;
        return measure();
    }
    // The sine's amplitude and its third harmonic relative to it, each the
    // median over 50-period windows of the recording's later part: the
    // dummy driver on a loaded machine repeats or drops a block now and then
    // (jackd reports an xrun), which moves one window but not the median.
    Sound measure() const
    {
        const int window = static_cast<int>(probe.rate / 20.0);
        std::vector<double> amplitude, third;
        for (int at = kRecordFrames / 5; at + window <= probe.written.load(); at += window) {
            const float* x = probe.recorded.data() + at;
            amplitude.push_back(tbtest::amplitudeAt(x, window, 1000.0, probe.rate));
            third.push_back(tbtest::levelDbAt(x, window, 3000.0, probe.rate) - tbtest::toDb(amplitude.back()));
        }
        if (amplitude.empty())
            return {};
        return {median(amplitude), median(third)};
    }
    static double median(std::vector<double> v)
    {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    }
    // The presets menu of the board in Kelbrin's window, clicked open and
    // an item picked as a user would. The list unfolds under the program's
    // name, one 15-pixel row per item.
    bool choosePreset(int item)
    {
        Display* d = XOpenDisplay(nullptr);
        if (d == nullptr)
            return false;
        bool chosen = false;
        int x = 0, y = 0;
        // A click may be lost to a busy editor: the list is clicked open
        // again until its rows show (bright pixels where the board is dark).
        for (int attempt = 0; attempt < 5 && !chosen && findEditor(d, x, y); ++attempt) {
            click(d, x + 90, y + 44);
            const int rowY = y + 64 + 15 * item;
            for (int i = 0; i < 40 && !chosen; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                for (int dx = 36; dx < 110 && !chosen; dx += 4)
                    chosen = brightness(d, x + dx, rowY) > 150;
            }
            if (chosen)
                click(d, x + 40, rowY);
        }
        if (!chosen)
            saveScreen(TB_PICTURE_DIR "/kelbrin_presets_menu_failed.bmp");
        XCloseDisplay(d);
        return chosen;
    }
    // Apart, as a hand would: the board reads the press where the pointer rests.
    static void click(Display* d, int x, int y)
    {
        XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
        XSync(d, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        for (const Bool down : {True, False}) {
            XTestFakeButtonEvent(d, 1, down, CurrentTime);
            XSync(d, False);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    static int brightness(Display* d, int x, int y)
    {
        XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr)
            return 0;
        const unsigned long p = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
    }
    // The editor: the mapped window of its size inside Kelbrin's window
    // (named "Tambrell"); x and y in root coordinates. Kelbrin's window is
    // raised above any other program's first.
    static bool findEditor(Display* d, int& x, int& y)
    {
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
            return false;
        bool found = false;
        for (unsigned i = count; i > 0 && !found; --i) {
            XTextProperty name {};
            const bool kelbrin = XGetWMName(d, children[i - 1], &name) && name.value != nullptr && name.nitems == 8
                && std::memcmp(name.value, "Tambrell", 8) == 0;
            if (name.value)
                XFree(name.value);
            if (kelbrin && findChild(d, children[i - 1], x, y)) {
                XRaiseWindow(d, children[i - 1]);
                XSync(d, False);
                found = true;
            }
        }
        if (children)
            XFree(children);
        return found;
    }
    static bool findChild(Display* d, Window w, int& x, int& y)
    {
        XWindowAttributes a {};
        if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable && a.width == kEditorWidth
            && a.height == kEditorHeight) {
            Window child;
            return XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
        }
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, w, &root, &parent, &children, &count))
            return false;
        bool found = false;
        for (unsigned i = 0; i < count && !found; ++i)
            found = findChild(d, children[i], x, y);
        if (children)
            XFree(children);
        return found;
    }

    tbtest::TempFolder home;
    Probe probe;
    pid_t kelbrin = -1;
};

double toDbOfHalf(double amplitude) { return 20.0 * std::log10(std::max(amplitude, 1e-9) / 0.125); }

TEST_F(KelbrinJack, PlaysTheDefaultProgramLoadsADistortionPresetAndEndsOnSignals)
{
    ASSERT_TRUE(start()) << "Kelbrin's JACK ports never appeared";
    const Sound clean = settled();
    EXPECT_NEAR(toDbOfHalf(clean.amplitude), 0.0, 0.1) << "amplitude " << clean.amplitude;
    EXPECT_LT(clean.thirdHarmonicDb, -60.0);
    saveScreen(TB_PICTURE_DIR "/kelbrin_main_window.bmp");

    // "02 Crunch": a distortion box before amp model 1.
    ASSERT_TRUE(choosePreset(7)) << "the presets menu never opened";
    const Sound crunch = settled();
    EXPECT_GT(crunch.amplitude, 0.01);
    EXPECT_GT(crunch.thirdHarmonicDb, -40.0) << "amplitude " << crunch.amplitude;

    // Asked to end by the system: Kelbrin quits on its own and writes its
    // settings (the window's place is written only then).
    kill(kelbrin, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 200 && !ended; ++i) {
        ended = waitpid(kelbrin, &status, WNOHANG) == kelbrin;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(ended) << "Kelbrin did not end within 10 s of SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    kelbrin = -1;
    std::ifstream file(home.path() + "/.Tambrell/Tambrell.settings");
    const std::string written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(written.find("windowX"), std::string::npos) << written;

    // Killed while playing: the settings file stays readable on the next
    // start, which plays the first preset again.
    ASSERT_TRUE(start()) << "Kelbrin did not start again";
    kill(kelbrin, SIGKILL);
    waitpid(kelbrin, nullptr, 0);
    kelbrin = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Installed and started by name from another folder: it finds its
    // plug-in from where its program file is, not from the current folder.
    tbtest::TempFolder prefix;
    ASSERT_TRUE(install(prefix.path()));
    ASSERT_TRUE(start(prefix.path() + "/bin")) << "the installed Kelbrin did not start";
    const Sound again = settled();
    EXPECT_NEAR(toDbOfHalf(again.amplitude), 0.0, 0.1) << "amplitude " << again.amplitude;
}

}  // namespace
