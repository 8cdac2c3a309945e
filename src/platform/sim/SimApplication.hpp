#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/core/NotificationCenter.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/TitleBar.hpp"

namespace talvori {
class SceneWindows;
}

namespace talvori::sim {

class SimPanel;
class SimWorld;

// Our application in the simulated session. Records what a test needs to see: policy changes,
// attention requests, termination, scene windows.
class SimApplication final : public Application,
                             public std::enable_shared_from_this<SimApplication> {
  public:
    explicit SimApplication(std::shared_ptr<SimWorld> world);

    ActivationPolicy activationPolicy() const override { return policy_; }
    void setActivationPolicy(ActivationPolicy policy) override;
    bool isActive() const override;
    void activate() override;
    int requestUserAttention(bool critical) override;
    void terminate() override;
    // Whether terminate() was called.
    bool isTerminated() const { return terminated_; }
    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) override;
    void finishLaunching() override;
    void reopen() override;
    std::shared_ptr<Panel> makePanel(const Rect& contentRect, unsigned styleMask) override;
    std::shared_ptr<Panel> keyWindow() const override;
    std::vector<std::shared_ptr<Panel>> windows() const override;
    void registerScene(SceneDescription scene) override;
    void openWindow(const std::string& sceneIdentifier) override;
    void dismissWindow(const std::string& sceneIdentifier) override;
    std::shared_ptr<Panel> sceneWindow(const std::string& sceneIdentifier) const override;
    std::shared_ptr<Menu> mainMenu() const override { return mainMenu_; }
    // The simulated screen draws a titled window's bar over the top of its frame.
    double titleBarOverlap() const override { return TitleBar::kHeight; }
    const Observable<bool>& isCompositing() const override;
    const Observable<bool>& blursBehindWindows() const override;
    bool blursAtItsOwnStrength() const override;

    // ---- Records
    // Every policy set, in order (the starting policy is not listed).
    const std::vector<ActivationPolicy>& policyChanges() const { return policyChanges_; }
    struct AttentionRequest {
        double time;
        bool critical;
    };
    const std::vector<AttentionRequest>& attentionRequests() const { return attentionRequests_; }
    const std::vector<std::string>& openedScenes() const { return openedScenes_; }
    // The user clicks the close button of a scene window.
    void userClosesWindow(const std::string& sceneIdentifier);
    // A menu bar menu as other desktops keep one, for code that searches it.
    void setMainMenu(std::shared_ptr<Menu> menu) { mainMenu_ = std::move(menu); }

  private:
    // Made on first use, once the application is owned.
    SceneWindows& scenes();

    std::shared_ptr<SimWorld> world_;
    std::weak_ptr<ApplicationDelegate> delegate_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    std::vector<ActivationPolicy> policyChanges_;
    std::vector<AttentionRequest> attentionRequests_;
    std::vector<std::weak_ptr<SimPanel>> panels_;
    std::shared_ptr<SceneWindows> scenes_;
    std::shared_ptr<Menu> mainMenu_;
    std::vector<std::string> openedScenes_;
    bool terminated_ = false;
};

}  // namespace talvori::sim
