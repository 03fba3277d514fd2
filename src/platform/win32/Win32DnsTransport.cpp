// FD_SETSIZE before the Winsock header: select() may watch more sockets than its
// default of 64.
#define FD_SETSIZE 512
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "platform/win32/Win32DnsTransport.h"

#include "platform/DnsStream.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/Wide.h"
#include "platform/win32/Win32Processes.h"

namespace platform::win32 {

struct Win32DnsTransport::Socket {
  SOCKET s = INVALID_SOCKET;
  HANDLE readable = nullptr;  // set when a datagram (or an error) arrives
  std::string address;  // as given to Open
  uint16_t port = 0;
  sockaddr_storage peer{};
  int peer_length = 0;
  bool failed = false;  // the last receive failed (port unreachable): nothing more will come
  // A TCP connection: what waits to be sent (the framed query, until the connection
  // stands and while the system takes it in pieces) and the answer as it comes in.
  bool stream = false;
  bool connected = false;
  std::vector<uint8_t> unsent;
  DnsStreamReader reader;
};

namespace {

std::string WsaText(int code) { return SystemErrorText(static_cast<uint32_t>(code)); }

bool Resolve(const std::string& address, uint16_t port, sockaddr_storage& out, int& length) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_family = AF_UNSPEC;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  if (getaddrinfo(address.c_str(), service.c_str(), &hints, &found) != 0 || !found) return false;
  std::memcpy(&out, found->ai_addr, found->ai_addrlen);
  length = static_cast<int>(found->ai_addrlen);
  freeaddrinfo(found);
  return true;
}

bool SameAddress(const sockaddr_storage& a, const sockaddr_storage& b) {
  if (a.ss_family != b.ss_family) return false;
  if (a.ss_family == AF_INET) {
    auto& x = reinterpret_cast<const sockaddr_in&>(a);
    auto& y = reinterpret_cast<const sockaddr_in&>(b);
    return x.sin_addr.s_addr == y.sin_addr.s_addr && x.sin_port == y.sin_port;
  }
  auto& x = reinterpret_cast<const sockaddr_in6&>(a);
  auto& y = reinterpret_cast<const sockaddr_in6&>(b);
  return std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0 && x.sin6_port == y.sin6_port;
}

}  // namespace

// Winsock is started on first use: the program does not load it while it starts.
Win32DnsTransport::Win32DnsTransport() = default;

bool Win32DnsTransport::Start() {
  if (!started_) {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  return started_;
}

Win32DnsTransport::~Win32DnsTransport() {
  if (helper_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    helper_.join();
  }
  for (auto& [handle, socket] : sockets_) Discard({socket->s, socket->readable});
  for (const Spare& spare : spares_) Discard(spare);
  for (const Spare& spare : to_close_) Discard(spare);
  if (started_) WSACleanup();
}

// A datagram socket of the family with its event: auto-reset, so that the wait that
// reports it also clears it, and set by the system when a datagram (or an error)
// arrives. Waiting on the events wakes at once, where select() may wake some
// milliseconds late (as under Wine), which would count against the server. This also
// makes the socket non-blocking. It is not bound: its first datagram out gives it a
// fresh port, as for any client, and costs no call of its own.
std::optional<Win32DnsTransport::Spare> Win32DnsTransport::Make(int family, std::string& error) {
  Spare made{socket(family, SOCK_DGRAM, IPPROTO_UDP), CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  if (made.s != INVALID_SOCKET && made.event && WSAEventSelect(made.s, made.event, FD_READ) == 0) return made;
  error = made.event || made.s == INVALID_SOCKET ? WsaText(WSAGetLastError()) : SystemErrorText(GetLastError());
  Discard(made);
  return std::nullopt;
}

void Win32DnsTransport::Discard(const Spare& spare) {
  if (spare.s != INVALID_SOCKET) closesocket(spare.s);
  if (spare.event) CloseHandle(spare.event);
}

// Makes IPv4 sockets ahead and closes the used ones, on a thread of its own: each of
// those calls costs a round trip to the system's socket layer (a long one under Wine),
// which would otherwise hold up the measuring thread between an answer and the next
// query.
void Win32DnsTransport::Helper() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    wake_.wait(lock, [&] { return stopping_ || !to_close_.empty() || (!spares_failed_ && spares_.size() < kSpares); });
    if (stopping_) break;
    std::vector<Spare> closing;
    closing.swap(to_close_);
    size_t wanted = spares_failed_ ? 0 : kSpares - std::min(kSpares, spares_.size());
    lock.unlock();
    for (const Spare& spare : closing) Discard(spare);
    std::vector<Spare> made;
    bool failed = false;
    std::string error;
    for (size_t i = 0; i < wanted; ++i) {
      auto spare = Make(AF_INET, error);
      if (!spare) {
        failed = true;  // Open makes its own and reports why
        break;
      }
      made.push_back(*spare);
    }
    lock.lock();
    spares_.insert(spares_.end(), made.begin(), made.end());
    spares_failed_ = spares_failed_ || failed;
  }
}

bool Win32DnsTransport::CanReachIpv6(const std::string& address) {
  if (!Start()) return false;
  // A route to the address itself: connecting a datagram socket sends nothing, it only
  // asks the system which way it would go (loopback goes its own way).
  SOCKET s = socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_storage target{};
  int length = 0;
  bool ok = Resolve(address, 53, target, length) && target.ss_family == AF_INET6 &&
            connect(s, reinterpret_cast<sockaddr*>(&target), length) == 0;
  closesocket(s);
  return ok;
}

// A socket record aimed at a numeric address, with Winsock started; null with the reason.
std::unique_ptr<Win32DnsTransport::Socket> Win32DnsTransport::Aimed(const std::string& address, uint16_t port,
                                                                    std::string& error) {
  if (!Start()) {
    error = "Winsock is not available";
    return nullptr;
  }
  auto aimed = std::make_unique<Socket>();
  if (!Resolve(address, port, aimed->peer, aimed->peer_length)) {
    error = "not a numeric address";
    return nullptr;
  }
  aimed->address = address;
  aimed->port = port;
  return aimed;
}

int Win32DnsTransport::Open(const std::string& address, uint16_t port, std::string& error) {
  auto socket_ = Aimed(address, port, error);
  if (!socket_) return -1;
  std::optional<Spare> made;
  if (socket_->peer.ss_family == AF_INET) {
    std::lock_guard lock(mutex_);
    if (!helper_.joinable()) helper_ = std::thread([this] { Helper(); });
    if (!spares_.empty()) {
      made = spares_.back();
      spares_.pop_back();
    }
  }
  wake_.notify_one();
  if (!made) made = Make(socket_->peer.ss_family, error);
  if (!made) return -1;
  socket_->s = made->s;
  socket_->readable = made->event;
  socket_->address = address;
  socket_->port = port;
  int handle = next_++;
  sockets_[handle] = std::move(socket_);
  return handle;
}

// A connection started without waiting for it: its event reports when it stands (or
// failed), when the system takes more to send, when answer bytes arrive and when the
// server closes it.
int Win32DnsTransport::OpenStream(const std::string& address, uint16_t port, std::string& error) {
  auto socket_ = Aimed(address, port, error);
  if (!socket_) return -1;
  Spare made{socket(socket_->peer.ss_family, SOCK_STREAM, IPPROTO_TCP), CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  if (made.s == INVALID_SOCKET || !made.event ||
      WSAEventSelect(made.s, made.event, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
    error = made.event || made.s == INVALID_SOCKET ? WsaText(WSAGetLastError()) : SystemErrorText(GetLastError());
    Discard(made);
    return -1;
  }
  BOOL no_delay = TRUE;
  setsockopt(made.s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay), sizeof no_delay);
  if (connect(made.s, reinterpret_cast<const sockaddr*>(&socket_->peer), socket_->peer_length) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    error = WsaText(WSAGetLastError());
    Discard(made);
    return -1;
  }
  socket_->s = made.s;
  socket_->readable = made.event;
  socket_->address = address;
  socket_->port = port;
  socket_->stream = true;
  int handle = next_++;
  sockets_[handle] = std::move(socket_);
  return handle;
}

// Hands the system as much of what waits to be sent as it takes now.
void Win32DnsTransport::Flush(Socket& socket) {
  while (socket.connected && !socket.unsent.empty()) {
    int sent = send(socket.s, reinterpret_cast<const char*>(socket.unsent.data()),
                    static_cast<int>(socket.unsent.size()), 0);
    if (sent <= 0) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) socket.failed = true;
      return;  // the rest goes when the system reports room again
    }
    socket.unsent.erase(socket.unsent.begin(), socket.unsent.begin() + sent);
  }
}

// What happened on a connection since it was last looked at; the answer once it is
// whole. A connection that failed or that the server closed is not watched any more:
// its query times out.
std::optional<DnsDatagram> Win32DnsTransport::StreamEvents(int handle, Socket& socket) {
  WSANETWORKEVENTS events{};
  if (WSAEnumNetworkEvents(socket.s, socket.readable, &events) != 0) {
    socket.failed = true;
    return std::nullopt;
  }
  if (events.lNetworkEvents & FD_CONNECT) {
    if (events.iErrorCode[FD_CONNECT_BIT] != 0) {
      socket.failed = true;
      return std::nullopt;
    }
    socket.connected = true;
  }
  if (events.lNetworkEvents & (FD_CONNECT | FD_WRITE)) Flush(socket);
  if (events.lNetworkEvents & (FD_READ | FD_CLOSE)) {
    uint8_t buffer[16384];
    while (true) {
      int got = recv(socket.s, reinterpret_cast<char*>(buffer), sizeof buffer, 0);
      if (got > 0) {
        socket.reader.Feed(buffer, static_cast<size_t>(got));
        // An answer is at most 65,535 bytes; more than that before it is whole is no
        // DNS server.
        if (socket.reader.Held() > 0x10001) socket.failed = true;
        if (socket.failed) break;
        continue;
      }
      if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK) socket.failed = true;
      break;
    }
  }
  if (auto message = socket.reader.Next()) {
    DnsDatagram datagram;
    datagram.socket = handle;
    datagram.data = std::move(*message);
    datagram.from_address = socket.address;
    datagram.from_port = socket.port;
    return datagram;
  }
  if (socket.reader.Broken()) socket.failed = true;
  return std::nullopt;
}

bool Win32DnsTransport::Send(int handle, const std::vector<uint8_t>& data, std::string& error) {
  auto it = sockets_.find(handle);
  if (it == sockets_.end()) {
    error = "socket not open";
    return false;
  }
  if (it->second->stream) {
    Socket& connection = *it->second;
    auto framed = FrameDnsMessage(data);
    if (!framed) {
      error = "message too long for TCP";
      return false;
    }
    connection.unsent.insert(connection.unsent.end(), framed->begin(), framed->end());
    Flush(connection);
    if (connection.failed) {
      error = WsaText(WSAGetLastError());
      return false;
    }
    return true;
  }
  const Socket& target = *it->second;
  int sent = sendto(target.s, reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()), 0,
                    reinterpret_cast<const sockaddr*>(&target.peer), target.peer_length);
  if (sent != static_cast<int>(data.size())) {
    error = WsaText(WSAGetLastError());
    return false;
  }
  return true;
}

std::optional<DnsDatagram> Win32DnsTransport::ReadFrom(int handle, Socket& socket) {
  uint8_t buffer[65536];
  sockaddr_storage from{};
  int from_length = sizeof from;
  int got = recvfrom(socket.s, reinterpret_cast<char*>(buffer), sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                     &from_length);
  if (got < 0) {
    // WSAECONNRESET: the server's port is closed (an ICMP reply). The query just times
    // out; the socket is not watched any more.
    if (WSAGetLastError() != WSAEWOULDBLOCK) socket.failed = true;
    return std::nullopt;
  }
  DnsDatagram datagram;
  datagram.socket = handle;
  datagram.data.assign(buffer, buffer + got);
  if (SameAddress(from, socket.peer)) {
    datagram.from_address = socket.address;
    datagram.from_port = socket.port;
  } else {
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw = from.ss_family == AF_INET
                          ? static_cast<const void*>(&reinterpret_cast<sockaddr_in&>(from).sin_addr)
                          : static_cast<const void*>(&reinterpret_cast<sockaddr_in6&>(from).sin6_addr);
    inet_ntop(from.ss_family, raw, text, sizeof text);
    datagram.from_address = text;
    datagram.from_port = ntohs(from.ss_family == AF_INET ? reinterpret_cast<sockaddr_in&>(from).sin_port
                                                         : reinterpret_cast<sockaddr_in6&>(from).sin6_port);
  }
  return datagram;
}

std::optional<DnsDatagram> Win32DnsTransport::Receive(uint64_t timeout_us) {
  const ULONGLONG end = GetTickCount64() + (timeout_us + 999) / 1000;
  std::vector<std::pair<int, Socket*>> watched;
  std::vector<HANDLE> events;
  while (true) {
    watched.clear();
    for (auto& [handle, socket] : sockets_)
      if (!socket->failed) watched.emplace_back(handle, socket.get());
    ULONGLONG now = GetTickCount64();
    uint64_t left_us = now >= end ? 0 : (end - now) * 1000;
    if (left_us > timeout_us) left_us = timeout_us;
    if (watched.empty()) {
      if (left_us) Sleep(static_cast<DWORD>((left_us + 999) / 1000));
      return std::nullopt;
    }
    if (watched.size() <= MAXIMUM_WAIT_OBJECTS) {
      // The wait reports the first set event of the list; starting the list at another
      // socket each time keeps a burst of answers from always favouring the same ones.
      std::rotate(watched.begin(), watched.begin() + static_cast<std::ptrdiff_t>(rotation_++ % watched.size()),
                  watched.end());
      events.clear();
      for (const auto& w : watched) events.push_back(w.second->readable);
      DWORD ready = WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE,
                                           static_cast<DWORD>((left_us + 999) / 1000));
      if (ready >= WAIT_OBJECT_0 + events.size()) return std::nullopt;  // timed out (or failed)
      // The wait has cleared the event; a datagram that is still queued after the read
      // sets it again.
      auto [handle, socket] = watched[ready - WAIT_OBJECT_0];
      if (auto datagram = socket->stream ? StreamEvents(handle, *socket) : ReadFrom(handle, *socket)) return datagram;
    } else {
      // More sockets than one wait can watch: select() over them all.
      // A connection being made shows as writable (made) or in the exceptions (failed).
      fd_set readable, writable, failing;
      FD_ZERO(&readable);
      FD_ZERO(&writable);
      FD_ZERO(&failing);
      for (size_t i = 0; i < watched.size() && i < FD_SETSIZE; ++i) {
        const Socket& socket = *watched[i].second;
        FD_SET(socket.s, &readable);
        if (socket.stream && (!socket.connected || !socket.unsent.empty())) {
          FD_SET(socket.s, &writable);
          FD_SET(socket.s, &failing);
        }
      }
      timeval tv{static_cast<long>(left_us / 1000000), static_cast<long>(left_us % 1000000)};
      int ready = select(0, &readable, &writable, &failing, &tv);
      if (ready <= 0) return std::nullopt;
      for (auto [handle, socket] : watched) {
        if (socket->stream) {
          if (!FD_ISSET(socket->s, &readable) && !FD_ISSET(socket->s, &writable) && !FD_ISSET(socket->s, &failing))
            continue;
          if (auto datagram = StreamEvents(handle, *socket)) return datagram;
          continue;
        }
        if (!FD_ISSET(socket->s, &readable)) continue;
        ResetEvent(socket->readable);
        if (auto datagram = ReadFrom(handle, *socket)) return datagram;
      }
    }
    if (GetTickCount64() >= end) return std::nullopt;
  }
}

void Win32DnsTransport::Close(int handle) {
  auto it = sockets_.find(handle);
  if (it == sockets_.end()) return;
  const Spare used{it->second->s, it->second->readable};
  sockets_.erase(it);
  if (helper_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      to_close_.push_back(used);
    }
    wake_.notify_one();
  } else {
    Discard(used);
  }
}

bool Win32Clipboard::SetText(const std::string& text) {
  std::wstring wide = Widen(text);
  // The clipboard is opened with an owner: emptying it hands it to that window, and
  // Windows refuses SetClipboardData to a clipboard emptied without one. The owner is
  // the window the copy was asked for in (the active one of this thread), else a
  // message-only window of this call's own.
  HWND owner = GetActiveWindow();
  HWND own_window = nullptr;
  if (!owner)
    owner = own_window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (!owner || !OpenClipboard(owner)) {
    if (own_window) DestroyWindow(own_window);
    return false;
  }
  const bool emptied = EmptyClipboard() != FALSE;
  bool ok = false;
  size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = emptied ? GlobalAlloc(GMEM_MOVEABLE, bytes) : nullptr) {
    if (void* p = GlobalLock(memory)) {
      std::memcpy(p, wide.c_str(), bytes);
      GlobalUnlock(memory);
      ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!ok) GlobalFree(memory);
  }
  CloseClipboard();
  if (own_window) DestroyWindow(own_window);
  return ok;
}

}  // namespace platform::win32
