// Kelbrin end to end: the program with the built Tambrell.so on a JACK server
// (./test runs one on the dummy backend) in a real X server. A JACK client of
// the test plays a 1 kHz sine into Kelbrin's inputs and records its outputs.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/support/PictureFiles.h"
#include "tests/support/TempFolder.h"

extern char** environ;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRecordFrames = 48000;

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

pid_t startKelbrin(const std::string& home)
{
    const std::string homeVar = "HOME=" + home;
    std::vector<std::string> env {homeVar};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "HOME=", 5) != 0)
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string program = TB_KELBRIN;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
}

bool waitForPorts(jack_client_t* client, int seconds)
{
    for (int i = 0; i < seconds * 10; ++i) {
        const char** ports = jack_get_ports(client, "JUCEJack:out_", nullptr, 0);
        const bool found = ports != nullptr;
        jack_free(ports);
        if (found)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
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
    // Starts Kelbrin, wires it to the probe and records a second of its output.
    double recordedAmplitude()
    {
        kelbrin = startKelbrin(home.path());
        EXPECT_GT(kelbrin, 0);
        if (!waitForPorts(probe.client, 20))
            return -1.0;
        const std::string self = jack_get_client_name(probe.client);
        for (int c = 1; c <= 2; ++c) {
            const std::string n = std::to_string(c);
            jack_connect(probe.client, (self + ":out_" + n).c_str(), ("JUCEJack:in_" + n).c_str());
            jack_connect(probe.client, ("JUCEJack:out_" + n).c_str(), (self + ":in_" + n).c_str());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        probe.written = 0;
        probe.recording = true;
        for (int i = 0; i < 100 && probe.written.load() < kRecordFrames; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        probe.recording = false;
        // The sine's amplitude from its RMS over the second half of the
        // recording, which a single late or early block cannot move much.
        double sum = 0.0;
        int n = 0;
        for (int i = kRecordFrames / 2; i < probe.written.load(); ++i, ++n)
            sum += double(probe.recorded[static_cast<std::size_t>(i)]) * probe.recorded[static_cast<std::size_t>(i)];
        return n > 0 ? std::sqrt(2.0 * sum / n) : 0.0;
    }

    tbtest::TempFolder home;
    Probe probe;
    pid_t kelbrin = -1;
};

TEST_F(KelbrinJack, PlaysTheDefaultProgramAndSurvivesSigkill)
{
    const double peak = recordedAmplitude();
    ASSERT_GT(peak, 0.0) << "Kelbrin's JACK ports never appeared";
    EXPECT_NEAR(20.0 * std::log10(peak / 0.125), 0.0, 0.1) << "amplitude " << peak;
    saveScreen(TB_PICTURE_DIR "/kelbrin_main_window.bmp");

    // Killed while playing: the settings file stays readable on the next start.
    kill(kelbrin, SIGKILL);
    waitpid(kelbrin, nullptr, 0);
    kelbrin = -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double again = recordedAmplitude();
    EXPECT_NEAR(20.0 * std::log10(std::max(again, 1e-9) / 0.125), 0.0, 0.1) << "amplitude " << again;
}

}  // namespace
