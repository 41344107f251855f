#pragma once

#include <QString>
#include <exception>
#include <functional>

namespace ui {

// Shows the general error box: the text, the application title as caption, the
// error icon and an OK button.
void showError(const QString& text);

// The text of the exception being handled, for the general error box.
QString currentErrorText();

// Runs one handler of a window. An error it does not catch itself ends it and is
// shown in the general error box; nothing escapes into Qt's event loop, so the
// window stays usable. Returns false when the handler failed.
bool guard(const std::function<void()>& handler);

// `guard` around a handler, for connecting it to a signal.
template <typename Handler> auto guarded(Handler handler) {
    return [handler = std::move(handler)](auto&&... args) {
        guard([&] { handler(std::forward<decltype(args)>(args)...); });
    };
}

} // namespace ui
