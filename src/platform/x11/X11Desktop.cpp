#include "platform/x11/X11Desktop.hpp"

#include <cstdlib>
#include <string_view>

#include "platform/Platform.hpp"
#include "platform/core/weakly.hpp"
#include "platform/freedesktop/AccessibilityStatus.hpp"
#include "platform/freedesktop/AtspiBridge.hpp"
#include "platform/freedesktop/AutostartEntry.hpp"
#include "platform/freedesktop/SessionBus.hpp"
#include "platform/freedesktop/SpeechAnnouncer.hpp"
#include "platform/x11/X11Accessibility.hpp"
#include "platform/x11/X11Application.hpp"
#include "platform/x11/X11ClientWindows.hpp"
#include "platform/x11/X11ColorSampler.hpp"
#include "platform/x11/X11Connection.hpp"
#include "platform/x11/X11DisplayServer.hpp"
#include "platform/x11/X11EventRouter.hpp"
#include "platform/x11/X11FocusWatch.hpp"
#include "platform/x11/X11HotKeyService.hpp"
#include "platform/x11/X11Input.hpp"
#include "platform/x11/X11Keyboard.hpp"
#include "platform/x11/X11KeyboardLayout.hpp"
#include "platform/x11/X11MotionPreference.hpp"
#include "platform/x11/X11Panel.hpp"
#include "platform/x11/X11Pasteboard.hpp"
#include "platform/x11/X11Reply.hpp"
#include "platform/x11/X11Screens.hpp"
#include "platform/x11/X11Sound.hpp"
#include "platform/x11/X11StatusBar.hpp"
#include "platform/x11/X11TrafficPacer.hpp"
#include "platform/x11/X11WindowList.hpp"
#include "platform/x11/X11Workspace.hpp"

namespace talvori::x11 {

namespace {

void noteSession(const X11Connection& connection) {
    const char* session = std::getenv("XDG_SESSION_TYPE");
    if (session && std::string_view(session) == "wayland") {
        connection.log().error(
            "This is a Wayland session: Talvori can see and follow only X11 (XWayland) windows, "
            "and its global shortcuts work only while an X11 window has the keyboard.");
    }
    xcb_connection_t* raw = connection.raw();
    const auto manager =
        propertyReply(raw, requestProperty(raw, connection.root(),
                                           connection.atom(Atom::_NET_SUPPORTING_WM_CHECK), 1));
    if (!manager) {
        connection.log().log(
            "No window manager runs: windows cannot be activated or followed until one starts");
    }
}

}  // namespace

std::shared_ptr<X11Desktop> X11Desktop::install(Platform& platform, const char* display) {
    auto log = platform.logger("X11");
    auto connection = X11Connection::open(display, log);
    if (!connection) return nullptr;
    noteSession(*connection);
    // What other programs' windows do, the window manager's published state, and the screen's
    // own size (monitors set or removed tell of themselves only so).
    const std::uint32_t rootEvents[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                        XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_change_window_attributes(connection->raw(), connection->root(), XCB_CW_EVENT_MASK,
                                 rootEvents);

    std::shared_ptr<X11Desktop> desktop(new X11Desktop());
    desktop->connection_ = connection;
    desktop->screens_ =
        std::make_shared<X11Screens>(connection, platform.sharedRunLoop(),
                                     platform.notificationCenter(), platform.logger("Screens"));
    desktop->screens_->startWatching();
    desktop->clients_ = std::make_shared<X11ClientWindows>(connection);
    // What the window manager shows now, read once: from here on its events keep it current.
    desktop->clients_->fetchState();
    desktop->keyboard_ = std::make_shared<X11Keyboard>(connection);
    desktop->application_ = std::make_shared<X11Application>(
        connection, desktop->screens_, desktop->clients_, platform.sharedRunLoop(),
        platform.notificationCenter(), platform.logger("Application"));
    desktop->input_ =
        std::make_shared<X11Input>(desktop->application_, desktop->keyboard_, platform.clock());
    desktop->accessibility_ = std::make_shared<X11Accessibility>(desktop->application_);
    desktop->sessionBus_ =
        freedesktop::SessionBus::open(platform.runLoop(), platform.logger("StatusBar"));
    desktop->workspace_ = std::make_shared<X11Workspace>(
        desktop->application_, X11MotionPreference::make(connection, desktop->sessionBus_),
        platform.logger("Workspace"));
    desktop->hotKeys_ = std::make_shared<X11HotKeyService>(connection, desktop->keyboard_,
                                                           platform.logger("HotKeys"));

    desktop->statusBar_ = std::make_shared<X11StatusBar>(
        connection, desktop->screens_, desktop->sessionBus_, platform.logger("StatusBar"));
    desktop->colorSampler_ = std::make_shared<X11ColorSampler>(connection, platform.sharedRunLoop(),
                                                               platform.logger("ColorSampler"));
    std::weak_ptr<X11StatusBar> statusBar = desktop->statusBar_;
    std::weak_ptr<X11ColorSampler> sampler = desktop->colorSampler_;
    desktop->input_->setClaim([statusBar, sampler](bool pointer, std::int16_t x, std::int16_t y) {
        // While a colour is picked every press and key is the sampler's.
        if (withOwner(sampler, &X11ColorSampler::isSampling).value_or(false)) return true;
        return pointer && withOwner(statusBar, &X11StatusBar::claimsPointer, x, y).value_or(false);
    });

    std::weak_ptr<X11Application> application = desktop->application_;
    desktop->clients_->setIsOwnWindow(weakly(application, &X11Application::isOurWindow));
    desktop->clients_->setFrameLearnt(weakly(application, &X11Application::clientReframed));
    desktop->clients_->setClientsKept(weakly(application, &X11Application::clientsKept));
    std::weak_ptr<X11HotKeyService> hotKeys = desktop->hotKeys_;
    desktop->screens_->setFocusedWindowFrame(
        weakly(application, [](X11Application& strong) -> std::optional<Rect> {
            if (const auto key = strong.keyWindow()) return key->frame();
            // The program is mostly in the background: the screen where the user works is the
            // one of the desktop's active window, as the keyboard goes there.
            const xcb_window_t window = strong.clients().activeWindow();
            const auto active =
                window != XCB_WINDOW_NONE ? strong.clients().readClient(window) : std::nullopt;
            if (active) return strong.screens().space().toGlobal(active->rect);
            // No window takes the keys: the user works where the pointer is.
            xcb_connection_t* raw = strong.connection().raw();
            const auto pointer = waitReply(xcb_query_pointer_reply, raw,
                                           xcb_query_pointer(raw, strong.connection().root()));
            if (!pointer) return std::nullopt;
            const Point at =
                strong.screens().space().pointToGlobal(pointer->root_x, pointer->root_y);
            return Rect(at.x, at.y - 1, 1, 1);
        }));
    desktop->hotKeys_->setKeyUpTapMaker(
        [input = std::weak_ptr<X11Input>(desktop->input_)](EventTap::Callback callback) {
            return withOwner(input,
                             [&](X11Input& strong) {
                                 return strong.makeListenOnlyEventTap(
                                     eventMaskBit(EventType::keyUp), std::move(callback));
                             })
                .value_or(nullptr);
        });
    desktop->hotKeys_->setPanelHoldsKeyboard(weakly(application, [](X11Application& app) {
        const auto key = std::static_pointer_cast<X11Panel>(app.keyWindow());
        return key && key->holdsKeyboard();
    }));
    desktop->keyboard_->setOnKeymapChange(weakly(hotKeys, &X11HotKeyService::keymapChanged));
    connection->setOnCompositorChange(weakly(application, &X11Application::compositorChanged));
    connection->setBeforeFlush(weakly(application, &X11Application::beforeFlush));
    auto pasteboard =
        X11Pasteboard::open(display, platform.sharedRunLoop(), platform.logger("Pasteboard"));
    desktop->pasteboard_ = pasteboard;
    desktop->application_->setOnTerminate(
        weakly(std::weak_ptr<RunLoop>(platform.sharedRunLoop()), &RunLoop::stop));
    desktop->application_->probeOpacity();
    desktop->application_->watchManagers();
    desktop->application_->probeStacking();
    desktop->application_->readBlurOffer();
    desktop->subscribe();
    X11Desktop* raw = desktop.get();
    connection->setAfterEvents([raw] { raw->afterEvents(); });
    connection->setEndsGathering(
        [raw](const xcb_generic_event_t& event) { return raw->endsGathering(&event); });
    connection->attach(
        platform.runLoop(), [raw](const xcb_generic_event_t& event) { raw->handleEvent(&event); },
        weakly(application, &X11Application::terminate));
    desktop->keyboard_->loadComposeTableWhenIdle(platform.runLoop());

    // Field by field: services other backends add later stay empty here until built for X11.
    Platform::Desktop services;
    services.application = desktop->application_;
    services.screens = desktop->screens_;
    desktop->focusWatch_ = X11FocusWatch::open(display);
    desktop->pacer_ =
        std::make_unique<X11TrafficPacer>(connection, desktop->focusWatch_, platform.runLoop(),
                                          weakly(application, &X11Application::isOurWindow),
                                          [raw] { return raw->wantsTrafficAtOnce(); });
    services.windowList =
        std::make_shared<X11WindowList>(desktop->application_, desktop->focusWatch_);
    services.workspace = desktop->workspace_;
    services.accessibility = desktop->accessibility_;
    services.input = desktop->input_;
    services.statusBar = desktop->statusBar_;
    desktop->accessibilityStatus_ = freedesktop::AccessibilityStatus::make(desktop->sessionBus_);
    desktop->displayServer_ = std::make_shared<X11DisplayServer>(desktop->application_);
    desktop->atspi_ = freedesktop::AtspiBridge::make(
        desktop->displayServer_, desktop->accessibilityStatus_, platform.logger("Accessibility"));
    auto announcer = freedesktop::SpeechAnnouncer::make(desktop->accessibilityStatus_,
                                                        platform.logger("Announcements"));
    announcer->setAccessibilityBus(weakly(std::weak_ptr<freedesktop::AtspiBridge>(desktop->atspi_),
                                          &freedesktop::AtspiBridge::announce));
    services.announcer = announcer;
    services.colorSampler = desktop->colorSampler_;
    services.loginItem =
        std::make_shared<freedesktop::AutostartEntry>(platform.logger("LoginItem"));
    services.hotKeyService = desktop->hotKeys_;
    services.keyboardLayout = std::make_shared<X11KeyboardLayout>(desktop->keyboard_);
    // Alert windows are our own panels: the shared implementation serves as it is.
    services.alerts = std::make_shared<Alerts>(
        Alerts::Services{desktop->application_, desktop->screens_, platform.notificationCenter(),
                         platform.sharedRunLoop(), "Talvori"});
    services.pasteboard = pasteboard;
    services.sound = std::make_shared<X11Sound>(connection);
    services.backend = desktop;
    platform.installDesktop(std::move(services));
    xcb_flush(connection->raw());
    return desktop;
}

void X11Desktop::handOverClipboard() const {
    if (const auto pasteboard = pasteboard_.lock()) pasteboard->handOverToClipboardManager();
}

X11Desktop::~X11Desktop() {
    // Panels still held elsewhere keep the connection: it must not call into what is gone.
    connection_->detach();
}

X11Desktop::X11Desktop()
    : first_(std::make_unique<X11EventRouter>()), rest_(std::make_unique<X11EventRouter>()) {}

void X11Desktop::subscribe() {
    subscribeFirst(*first_);
    subscribeRest(*rest_);
}

void X11Desktop::subscribeFirst(X11EventRouter& router) {
    clients_->subscribeTracking(router);
    screens_->subscribe(router);
    keyboard_->subscribe(router);
    // The sampler's grab makes the pointer and the keys its own.
    colorSampler_->subscribe(router);
    for (const std::uint8_t type : {XCB_KEY_PRESS, XCB_KEY_RELEASE}) {
        router.on<&X11Desktop::takeKey>(type, *this);
    }
}

void X11Desktop::subscribeRest(X11EventRouter& router) {
    application_->subscribe(router);
    statusBar_->subscribe(router);
    input_->subscribe(router);
    accessibility_->subscribe(router);
    workspace_->subscribe(router);
    clients_->subscribe(router);
}

void X11Desktop::handleEvent(const void* raw) {
    const auto& event = *static_cast<const xcb_generic_event_t*>(raw);
    noteFrameChange(raw);
    if (pacer_) pacer_->noteEvent(event);
    if (!first_->route(event)) rest_->route(event);
}

void X11Desktop::noteFrameChange(const void* raw) {
    const auto& configure = *static_cast<const xcb_configure_notify_event_t*>(raw);
    const bool movedFrame = (configure.response_type & 0x7F) == XCB_CONFIGURE_NOTIFY &&
                            configure.event == connection_->root() &&
                            !application_->panel(configure.window);
    (movedFrame ? batchMovedFrames_ : batchToldMore_) = true;
}

bool X11Desktop::takeKey(const xcb_key_press_event_t& key) {
    const bool down = (key.response_type & 0x7F) == XCB_KEY_PRESS;
    return hotKeys_->handleKey(key, down) || offerToReaders(&key, down);
}

bool X11Desktop::offerToReaders(const void* event, bool down) {
    if (!atspi_->takesKeys()) return false;
    const auto key = *static_cast<const xcb_key_press_event_t*>(event);
    const std::uint32_t symbol = keyboard_->symbol(key.detail, key.state);
    const freedesktop::AtspiKeys::Keystroke stroke{
        .down = down,
        .symbol = symbol,
        .symbolName = X11Keyboard::symbolName(symbol),
        .code = key.detail,
        .state = key.state,
        .time = key.time,
        .text = keyboard_->characters(key.detail, key.state)};
    return atspi_->offerKey(stroke, [this, key] { dispatch(&key); });
}

void X11Desktop::dispatch(const void* raw) {
    rest_->route(*static_cast<const xcb_generic_event_t*>(raw));
}

// Once the events that came together are handled: a run of focus changes (a burst of switches
// read in one go) is followed to its newest only, and the restack that follows it is the first
// request to go out, before the reads the events asked for.
void X11Desktop::afterEvents() {
    if (clients_->takeActiveWindowChange()) {
        application_->activeWindowChanged();
        accessibility_->activeWindowChanged();
        workspace_->activeWindowChanged();
    }
    // A batch paced is a longer wait than a frame run's, which it makes needless.
    if (pacer_) pacer_->afterEvents();
    gatherFrameRuns();
    clients_->sendReads();
}

// What the user does and a switch that follows are handled at once, whatever was gathered.
bool X11Desktop::endsGathering(const void* raw) const {
    const auto& event = *static_cast<const xcb_generic_event_t*>(raw);
    switch (event.response_type & 0x7F) {
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE:
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE:
        case XCB_MOTION_NOTIFY:
        case XCB_GE_GENERIC:
            return true;
        default:
            return clients_->announcesSwitch(event);
    }
}

// Focus follows switches, a cover follows its window, the colour sampler's loupe follows the
// pointer, or one of our windows takes the keys.
bool X11Desktop::wantsTrafficAtOnce() const {
    return (focusWatch_ && focusWatch_->isHearing()) || accessibility_->isObserving() ||
           colorSampler_->isSampling() || application_->keyWindow() != nullptr;
}

// Each burst of a run would wake the loop for a handful of events that ask nothing of us at once:
// a cover following a window moves with the burst that moved it, and whatever else comes during
// the run (a key, a focus change) waits a millisecond at most.
void X11Desktop::gatherFrameRuns() {
    const bool movedFrames = std::exchange(batchMovedFrames_, false);
    if (std::exchange(batchToldMore_, false)) {
        lastFramesBatch_.reset();
        return;
    }
    if (!movedFrames) return;
    const Nanoseconds now = platform().runLoop().now();
    const bool run =
        lastFramesBatch_ && now - *lastFramesBatch_ < nanosecondsFromSeconds(kFrameRunGap);
    lastFramesBatch_ = now;
    if (run) connection_->gatherEvents(kFrameRunRead, kFrameRunRead);
}

}  // namespace talvori::x11
