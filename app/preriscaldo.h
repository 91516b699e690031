#pragma once

#include <thread>

namespace app {

// Start-up work the window will need but not yet, done on another core while the main thread
// connects to the display and builds the window: it appears sooner, and a single core loses nothing.
class Preriscaldo final {
public:
    Preriscaldo();  // before the application object: the font configuration
    ~Preriscaldo();
    Preriscaldo(const Preriscaldo&) = delete;
    Preriscaldo& operator=(const Preriscaldo&) = delete;

    void conApplicazione();  // once it exists: the store's driver

private:
    std::thread caratteri_, archivio_;
};

} // namespace app
