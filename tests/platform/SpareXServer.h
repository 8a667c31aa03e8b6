#pragma once

#include <sys/types.h>

#include <string>

struct _XDisplay;

namespace testx {

// An X server of a test's own, for what the shared one must not see (a server
// that dies, another pixel depth). The server picks a free display number
// itself (-displayfd), so two tests starting one at once never pick alike, and
// the destructor stops and reaps it on every path, a failed assertion included.
class SpareXServer {
public:
    // screen: an Xvfb screen such as "320x240x24". Check connection() for success.
    explicit SpareXServer(const char* screen);
    ~SpareXServer();
    SpareXServer(const SpareXServer&) = delete;
    SpareXServer& operator=(const SpareXServer&) = delete;

    // The test's own connection, or null when no server could be had.
    _XDisplay* connection() const { return display_; }
    // For a test that closes the connection itself.
    void forgetConnection() { display_ = nullptr; }
    const std::string& name() const { return name_; }
    // Closes the connection, ends the server and reaps it (to the backend under
    // test, the server crashing).
    void stop();

private:
    pid_t pid_ = -1;
    std::string name_;
    _XDisplay* display_ = nullptr;
};

}  // namespace testx
