#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform/desktop/Accessibility.hpp"

namespace talvori::sim {

class SimWorld;

// Accessibility over the simulated processes, with per-element failure injection.
class SimAccessibility final : public Accessibility {
  public:
    explicit SimAccessibility(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}

    bool isProcessTrusted() const override;
    void promptForTrust() override;
    AXElement systemWideElement() const override;
    AXElement applicationElement(std::int32_t pid) const override;
    AXResult<AXValue> copyAttributeValue(const AXElement& element,
                                         std::string_view attribute) const override;
    AXResult<std::int32_t> pid(const AXElement& element) const override;
    AXResult<std::uint32_t> windowNumber(const AXElement& element) const override;
    AXResult<std::shared_ptr<AXObserver>> createObserver(std::int32_t pid,
                                                         AXObserver::Callback callback) override;

    // ---- Test switches
    void setTrusted(bool trusted);
    int trustPromptCount() const { return prompts_; }
    // Reads of `attribute` on `element` fail with `error` (noValue for "no value") until cleared.
    void injectError(const AXElement& element, const std::string& attribute, AXError error);
    void clearError(const AXElement& element, const std::string& attribute);
    // windowNumber() of `element` fails.
    void failWindowNumber(const AXElement& element, bool fails = true);
    // windowNumber() of every element fails (the private call is unavailable).
    void setWindowNumberUnavailable(bool unavailable) { windowNumberUnavailable_ = unavailable; }
    // Every observer creation fails.
    void setRefusesObservers(bool refuses) { refusesObservers_ = refuses; }
    int observerCount() const { return observersCreated_; }

  private:
    AXResult<AXValue> readSystemWide(std::string_view attribute) const;
    AXResult<AXValue> readApplication(const AXElement& element, std::string_view attribute) const;
    AXResult<AXValue> readWindow(const AXElement& element, std::string_view attribute) const;
    AXElement windowElement(std::int32_t pid, std::uint32_t number) const;

    std::shared_ptr<SimWorld> world_;
    int prompts_ = 0;
    std::map<std::pair<AXElement, std::string>, AXError> errors_;
    std::set<AXElement> windowNumberFailures_;
    bool windowNumberUnavailable_ = false;
    bool refusesObservers_ = false;
    int observersCreated_ = 0;
};

}  // namespace talvori::sim
