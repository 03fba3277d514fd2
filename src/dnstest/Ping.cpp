// The "Ping" button of the DNS check group: four echo requests to each address of the
// chosen server, the outcome of the last one beside its box.
#include "dnstest/DnsCheckGroup.h"
#include "dnstest/ErrorLine.h"

namespace dnstest {

using app::CurrentErrorLine;

std::string DnsCheckGroup::PingStatusText(int64_t code) {
  switch (code) {
    case 0: return "Success";
    case 11001: return "Buffer Too Small";
    case 11002: return "Destination Net Unreachable";
    case 11003: return "Destination Host Unreachable";
    case 11004: return "Destination Protocol Unreachable";
    case 11005: return "Destination Port Unreachable";
    case 11006: return "No Resources";
    case 11007: return "Bad Option";
    case 11008: return "Hardware Error";
    case 11009: return "Packet Too Big";
    case 11010: return "Request Timed Out";
    case 11011: return "Bad Request";
    case 11012: return "Bad Route";
    case 11013: return "TimeToLive Expired Transit";
    case 11014: return "TimeToLive Expired Reassembly";
    case 11015: return "Parameter Problem";
    case 11016: return "Source Quench";
    case 11017: return "Option Too Big";
    case 11018: return "Bad Destination";
    case 11032: return "Negotiating IPSEC";
    case 11050: return "General Failure";
    default: return "Unknow";
  }
}

void DnsCheckGroup::PingSeries(ui::Label& label, const std::string& address, uint16_t attempts,
                        uint16_t buffer_size) {
  std::unique_ptr<platform::EchoSession> session = services_.echo.Open();
  App().ProcessMessages();
  for (unsigned attempt = 0; attempt < attempts; ++attempt) {
    std::optional<platform::EchoReply> reply = session->Send(address, buffer_size);
    App().ProcessMessages();
    if (!reply) continue;
    if (reply->status && *reply->status == 0) {
      // A reply under one millisecond ends the series and leaves the label as it is.
      if (reply->response_time <= 0) return;
      label.SetCaption(std::to_string(reply->response_time) + " ms");
      label.SetHint(reply->address);
    } else {
      // The label has room for the status text only; its hint names who answered.
      std::string text = reply->status ? PingStatusText(*reply->status) : "Error processing request";
      std::string from = reply->status ? reply->address : address;
      label.SetCaption(text);
      label.SetHint(from + ": " + text);
    }
    App().ProcessMessages();
  }
}

void DnsCheckGroup::PingDNS1(const std::string& address, uint16_t attempts, uint16_t buffer_size) {
  PingSeries(*LabelDNS1, address, attempts, buffer_size);
}

void DnsCheckGroup::PingDNS2(const std::string& address, uint16_t attempts, uint16_t buffer_size) {
  PingSeries(*LabelDNS2, address, attempts, buffer_size);
}

void DnsCheckGroup::ButtonPingClick() {
  page_.SetEnabled(false);
  LabelDNS1->SetCaption("");
  LabelDNS2->SetCaption("");
  std::string error;
  try {
    PingDNS1(EditPreferredDNS1->Text(), 4, 32);
    App().ProcessMessages();
    PingDNS2(EditAlternativeDNS1->Text(), 4, 32);
    App().ProcessMessages();
  } catch (...) {
    error = CurrentErrorLine();
  }
  page_.SetEnabled(true);
  // The failure goes to the activity log, time-stamped like every other line there.
  if (!error.empty()) shell_.Log(error);
}

}  // namespace dnstest
