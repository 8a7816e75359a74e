#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// What the core asks of a window. The Qt windows implement it; tests use a scripted fake
// that records the calls and answers the prompts. Every call is made on the UI thread unless
// it says otherwise.

// Control and menu identifiers the core addresses.
namespace ids {
constexpr int kStartButton = 1003;
constexpr int kLogView = 1008;
constexpr int kMenuProgramming = 32772;  // "烧录文件"
constexpr int kMenuTestConfig = 32774;   // "测试配置"
constexpr int kMenuExit = 32776;         // "退出"
constexpr int kMenuSamples = 32780;      // "整理样本"
constexpr int kButtonAcquireSample = 1063;
}  // namespace ids

// Timers of the main window and of the dialogs.
namespace timers {
constexpr int kBringUp = 1;
constexpr int kOpenBoard = 2;
constexpr int kBackToWait = 3;
constexpr int kSampleAcquisition = 4;
}  // namespace timers

struct Colour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

enum class MessageButtons { Ok, OkCancel };
enum class MessageIcon { None, Exclamation, Stop };
enum class MessageAnswer { Ok, Cancel };

// Modal questions and file choosers. Narrow on purpose: the file formats and dialogs need
// only this, so they can be tested without a window.
class Prompter {
public:
    virtual ~Prompter() = default;

    // A modal message box; an empty caption means the application's title.
    virtual MessageAnswer ShowMessage(std::string_view text, std::string_view caption,
                                      MessageButtons buttons, MessageIcon icon) = 0;

    // The platform's file-open and save-as choosers. filter is in the "描述(*.ext)|*.ext||"
    // form; the result is the chosen path, or empty when the operator cancelled.
    virtual std::string ChooseFileToOpen(std::string_view filter, std::string_view initialName) = 0;
    virtual std::string ChooseFileToSave(std::string_view filter, std::string_view initialName) = 0;
};

class StationView : public Prompter {
public:
    virtual void EnableControl(int controlId, bool enabled) = 0;
    virtual void EnableMenuItem(int menuId, bool enabled) = 0;

    // Arms (or re-arms) a timer of the main window; a tick calls Station::OnTimer(id).
    virtual void SetTimer(int timerId, int periodMs) = 0;
    virtual void KillTimer(int timerId) = 0;

    // The status label's text and background.
    virtual void SetStatus(std::string_view text, Colour background) = 0;

    // The grid's columns follow the live configuration again.
    virtual void RebuildGrid() = 0;
    // The grid's cell texts follow the station's node values again.
    virtual void ShowNodeValues() = 0;
    // The three counters follow the station's counts again.
    virtual void RefreshCounters() = 0;

    // Runs call on the UI thread later. Callable from any thread; never blocks.
    virtual void PostToUi(std::function<void()> call) = 0;
};
