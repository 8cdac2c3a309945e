#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/Alerts.hpp"

namespace talvori::sim {

class SimWorld;

// Alerts in the simulated session: real windows with their sheets and modal blocking, plus a
// record of every alert shown and answers a test scripts in advance.
class SimAlerts final : public Alerts {
  public:
    struct Record {
        Alert alert;
        double time = 0;
        bool isSheet = false;
        // The window the sheet was on; 0 for an application-modal alert.
        std::uint32_t parentWindow = 0;
        // Absent while the alert waits.
        std::optional<long> response;
    };

    SimAlerts(std::shared_ptr<SimWorld> world, Services services);

    // Every alert shown, in order.
    const std::vector<Record>& records() const { return records_; }
    // The alert waiting for an answer that came up last.
    std::shared_ptr<AlertWindow> current() const;
    // Answers the next alerts that come up, one response each, on the turn after they showed.
    void scriptAnswers(std::vector<long> responses);
    void scriptAnswer(long response) { scriptAnswers({response}); }
    // The user answers the current alert with the button titled `title`; false when no alert
    // waits or it has no such button.
    bool pressButton(const std::string& title);

  protected:
    void alertDidShow(const std::shared_ptr<AlertWindow>& alert) override;

  private:
    std::shared_ptr<SimWorld> world_;
    std::vector<Record> records_;
    std::deque<long> script_;
};

}  // namespace talvori::sim
