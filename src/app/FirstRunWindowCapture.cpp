#include "app/FirstRunWindowCapture.hpp"

#include "app/FirstRunWindowCaptureView.hpp"

namespace talvori::ui {

View FirstRunWindowCapture::body(ViewContext<NoState>&) const {
    return View(Color::clear()).onAppear([presenter = flowPresenter, view = captureView] {
        view->update(presenter);
    });
}

}  // namespace talvori::ui
