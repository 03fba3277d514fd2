#include "platform/WmiEcho.h"

namespace platform {

std::string PingStatusQuery(const std::string& address, uint16_t buffer_size) {
  std::string quoted = "'";
  for (char c : address) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  quoted += '\'';
  return "SELECT * FROM Win32_PingStatus where Address=" + quoted +
         " AND BufferSize=" + std::to_string(buffer_size);
}

WmiEchoSession::WmiEchoSession(Wmi& wmi) {
  locator_ = wmi.CreateLocator();
  if (!locator_) throw WmiError("The management service's locator is not available", 0);
  services_ = locator_->ConnectServer("localhost", "root\\CIMV2", "", "");
  if (!services_) throw WmiError("The management service refused the connection", 0);
}

std::optional<EchoReply> WmiEchoSession::Send(const std::string& address, uint16_t buffer_size) {
  std::unique_ptr<WmiEnumerator> results = services_->ExecQuery(PingStatusQuery(address, buffer_size), "WQL", 0);
  if (!results) return std::nullopt;
  std::unique_ptr<WmiObject> object = results->Next();
  if (!object) return std::nullopt;
  EchoReply reply;
  Variant status = object->Get("statusCode");
  if (!status.IsNull() && !status.IsEmpty()) reply.status = status.integer;
  reply.response_time = object->Get("ResponseTime").integer;
  Variant answered = object->Get("ProtocolAddress");
  reply.address = answered.type == Variant::Type::String ? answered.text : std::string();
  return reply;
}

}  // namespace platform
