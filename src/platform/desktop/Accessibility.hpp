#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/desktop/AXElement.hpp"
#include "platform/desktop/AXObserver.hpp"

namespace talvori {

// The interface through which we read and follow other applications' windows. Every read and
// every observer needs the user's trust; while untrusted they fail with apiDisabled.
class Accessibility {
  public:
    virtual ~Accessibility() = default;

    virtual bool isProcessTrusted() const = 0;
    // Shows the system's request for trust; the answer arrives later through isProcessTrusted.
    virtual void promptForTrust() = 0;

    virtual AXElement systemWideElement() const = 0;
    virtual AXElement applicationElement(std::int32_t pid) const = 0;
    virtual AXResult<AXValue> copyAttributeValue(const AXElement& element,
                                                 std::string_view attribute) const = 0;
    virtual AXResult<std::int32_t> pid(const AXElement& element) const = 0;
    // The window-server number of a window element (0 is never returned: it fails instead).
    virtual AXResult<std::uint32_t> windowNumber(const AXElement& element) const = 0;
    // Fails for processes that refuse observation.
    virtual AXResult<std::shared_ptr<AXObserver>> createObserver(std::int32_t pid,
                                                                 AXObserver::Callback callback) = 0;

    // Typed reads; a value of the wrong type reads as illegalArgument.
    AXResult<AXElement> focusedApplication() const;
    AXResult<AXElement> focusedWindow(const AXElement& application) const;
    AXResult<std::vector<AXElement>> windows(const AXElement& application) const;
    AXResult<Point> position(const AXElement& window) const;
    AXResult<Size> size(const AXElement& window) const;

  private:
    template <class T>
    AXResult<T> typed(const AXElement& element, std::string_view attribute) const;
};

}  // namespace talvori
