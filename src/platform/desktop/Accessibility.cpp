#include "platform/desktop/Accessibility.hpp"

namespace talvori {

template <class T>
AXResult<T> Accessibility::typed(const AXElement& element, std::string_view attribute) const {
    auto result = copyAttributeValue(element, attribute);
    if (!result.ok()) return AXResult<T>::failure(result.error);
    if (const T* value = std::get_if<T>(&*result.value)) return AXResult<T>::success(*value);
    return AXResult<T>::failure(AXError::illegalArgument);
}

AXResult<AXElement> Accessibility::focusedApplication() const {
    return typed<AXElement>(systemWideElement(), AXAttribute::focusedApplication);
}

AXResult<AXElement> Accessibility::focusedWindow(const AXElement& application) const {
    return typed<AXElement>(application, AXAttribute::focusedWindow);
}

AXResult<std::vector<AXElement>> Accessibility::windows(const AXElement& application) const {
    return typed<std::vector<AXElement>>(application, AXAttribute::windows);
}

AXResult<Point> Accessibility::position(const AXElement& window) const {
    return typed<Point>(window, AXAttribute::position);
}

AXResult<Size> Accessibility::size(const AXElement& window) const {
    return typed<Size>(window, AXAttribute::size);
}

}  // namespace talvori
