// A timer with the behaviour the handlers rely on: Enabled doubles as the
// "nothing is running" flag of the scheduler; enabling (re)starts the interval.
#pragma once
#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace sf {

class TTimer {
public:
    TTimer(std::string name, int intervalMs, bool enabled = true);
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    const std::string& Name() const { return m_name; }
    bool Enabled() const { return m_enabled; }
    /// Enabling starts a fresh interval; disabling stops it.
    void SetEnabled(bool on);
    int Interval() const { return m_interval; }
    /// A new interval restarts a running timer.
    void SetInterval(int ms);
    /// Runs OnTimer now as if the interval had elapsed (tests and forced runs).
    void Fire();

    std::function<void()> OnTimer;

private:
    std::string m_name;
    int m_interval;
    bool m_enabled;
    std::unique_ptr<QTimer> m_timer;
};

} // namespace sf
