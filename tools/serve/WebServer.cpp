#include "WebServer.h"

#include <httplib.h>

#include <atomic>
#include <charconv>
#include <nlohmann/json.hpp>
#include <random>

#include "Assets.h"
#include "ValueFormat.h"
#include "ValueParse.h"

namespace tolsa::serve {

namespace {

using httplib::Request;
using httplib::Response;

// Workers for requests: each open event stream holds one, and a connection
// that sends its request slowly holds one until it times out, so there are
// many more than the machine has cores, and the streams get at most half.
constexpr std::size_t kWorkers = 64;
constexpr int kMaxStreams = kWorkers / 2;
constexpr auto kKeepAlive = std::chrono::seconds(2);
constexpr std::size_t kDrainedBody = 1024 * 1024;

void JsonError(Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content("{\"error\":" + codec::JsonString(message) + "}", "application/json");
}

// Compared in time that does not depend on where they first differ.
bool SameSecret(std::string_view given, std::string_view expected) {
    unsigned char differ = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < given.size(); ++i)
        differ |= static_cast<unsigned char>(given[i] ^ expected[i % expected.size()]);
    return differ == 0;
}

}  // namespace

std::string RandomToken() {
    std::random_device device;
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 8; ++i) {
        const uint32_t word = device();
        for (int shift = 0; shift < 32; shift += 8) {
            token += digits[(word >> (shift + 4)) & 15];
            token += digits[(word >> shift) & 15];
        }
    }
    return token.substr(0, 32);
}

struct WebServer::Impl {
    AreaFeed& feed;
    const std::string bearer;
    const std::string csrf;
    httplib::Server server;
    std::atomic<int> streams{0};
    std::string page;

    Impl(AreaFeed& f, std::string b, std::string c) : feed(f), bearer(std::move(b)), csrf(std::move(c)) {
        const Asset* html = FindAsset("/");
        page = html ? std::string(html->body) : std::string("no page was built in");
        const auto at = page.find("@CSRF@");
        if (at != std::string::npos) page.replace(at, 6, csrf);
        Routes();
    }

    void Routes() {
        server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
        server.set_payload_max_length(kMaxBody);
        server.set_read_timeout(5, 0);
        server.set_write_timeout(5, 0);
        server.set_keep_alive_timeout(5);
        server.set_pre_routing_handler([this](const Request& req, Response& res) { return Gate(req, res); });
        server.set_error_handler(httplib::Server::HandlerWithResponse([](const Request&, Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            JsonError(res, res.status, res.status == 404   ? "no such path"
                                       : res.status == 413 ? "the body is over 64 KiB"
                                                           : httplib::detail::status_message(res.status));
            return httplib::Server::HandlerResponse::Handled;
        }));
        server.Get("/", [this](const Request&, Response& res) {
            res.set_header("Cache-Control", "no-store");
            res.set_content(page, "text/html; charset=utf-8");
        });
        server.Get(R"(/[A-Za-z0-9_.-]+)", [](const Request& req, Response& res) {
            const Asset* asset = FindAsset(req.path);
            if (asset == nullptr || asset->path == "/") return JsonError(res, 404, "no such path");
            res.set_content(std::string(asset->body), std::string(asset->contentType).c_str());
        });
        server.Get("/api/variables", [this](const Request&, Response& res) { AllVariables(res); });
        server.Get(R"(/api/variables/(.+))", [this](const Request& req, Response& res) {
            OneVariable(req.matches[1].str(), res);
        });
        server.Get("/api/events", [this](const Request&, Response& res) { Events(res); });
        server.Post("/api/set", [this](const Request& req, Response& res, const httplib::ContentReader& reader) {
            Set(req, res, reader);
        });
    }

    // Before any route, and before a body is read.
    httplib::Server::HandlerResponse Gate(const Request& req, Response& res) {
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Content-Security-Policy",
                       "default-src 'self'; img-src 'self' data:; style-src 'self'; frame-ancestors 'none'");
        if (!bearer.empty()) {
            const std::string given = req.get_header_value("Authorization");
            if (given.rfind("Bearer ", 0) != 0 || !SameSecret(given.substr(7), bearer)) {
                res.set_header("WWW-Authenticate", "Bearer");
                JsonError(res, 401, "this server needs Authorization: Bearer <token>");
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        // A body is read only for the one route that takes one: any other is
        // refused before a byte of it is read.
        const bool bodyMethod = httplib::detail::expect_content(req);
        if (bodyMethod && !(req.method == "POST" && req.path == "/api/set")) {
            res.set_header("Connection", "close");
            JsonError(res, 404, "no such path");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    }

    void AllVariables(Response& res) {
        std::string why;
        const auto area = feed.Area(&why);
        if (!area) return JsonError(res, 503, "no area: " + why);
        std::string body = "[";
        const auto records = area->ReadAll();
        body.reserve(records.size() * 120 + 2);
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i) body += ",\n";
            body += codec::JsonObject(records[i]);
        }
        body += "]\n";
        res.set_content(body, "application/json");
    }

    void OneVariable(const std::string& name, Response& res) {
        std::string why;
        const auto area = feed.Area(&why);
        if (!area) return JsonError(res, 503, "no area: " + why);
        const int32_t index = area->Find(name);
        if (index < 0) return JsonError(res, 404, "no variable named " + codec::Printable(name));
        res.set_content(codec::JsonObject(area->Read(index)) + "\n", "application/json");
    }

    void Events(Response& res) {
        if (++streams > kMaxStreams) {
            --streams;
            return JsonError(res, 503, "too many event streams are open");
        }
        res.set_header("Cache-Control", "no-store");
        auto cursor = std::make_shared<AreaFeed::Cursor>();
        auto first = std::make_shared<bool>(true);
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, cursor, first](std::size_t, httplib::DataSink& sink) {
                std::string text = feed.Next(*cursor, kKeepAlive);
                if (feed.Stopped()) return false;
                if (text.empty()) text = ": keep-alive\n\n";
                // A dropped stream is reopened by the page after a second.
                if (*first) text.insert(0, "retry: 1000\n\n");
                *first = false;
                return sink.write(text.data(), text.size());
            },
            [this](bool) { --streams; });
    }

    void Set(const Request& req, Response& res, const httplib::ContentReader& reader) {
        const std::string length = req.get_header_value("Content-Length");
        std::size_t announced = 0;
        const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), announced);
        bool tooBig = !length.empty() && (error != std::errc() || announced > kMaxBody);
        std::string body;
        if (!tooBig) {
            // A body sent without its length is read on past the limit, to a
            // bound, so that the client is still listening for the 413.
            std::size_t received = 0;
            const bool read = reader([&](const char* data, std::size_t size) {
                received += size;
                if (received > kMaxBody) {
                    tooBig = true;
                    body.clear();
                    return received <= kDrainedBody;
                }
                body.append(data, size);
                return true;
            });
            if (!read && !tooBig) {
                res.set_header("Connection", "close");
                return JsonError(res, 400, "the body could not be read");
            }
        }
        if (tooBig) {
            res.set_header("Connection", "close");
            return JsonError(res, 413, "the body is over 64 KiB");
        }
        if (!SameSecret(req.get_header_value("X-Tolsa-Csrf"), csrf))
            return JsonError(res, 403, "the X-Tolsa-Csrf header is missing or wrong: reload the page");
        const auto json = nlohmann::json::parse(body, nullptr, false);
        if (json.is_discarded() || !json.is_object() || !json.contains("name") || !json["name"].is_string() ||
            !json.contains("value"))
            return JsonError(res, 400, "the body must be JSON {\"name\": ..., \"value\": ...}");
        const std::string name = json["name"].get<std::string>();
        const auto& value = json["value"];
        if (!value.is_string() && !value.is_number())
            return JsonError(res, 400, "the value must be text or a number");
        const std::string text = value.is_string() ? value.get<std::string>() : value.dump();

        std::string why;
        const auto area = feed.Area(&why);
        if (!area) return JsonError(res, 503, "no area: " + why);
        const int32_t index = area->Find(name);
        if (index < 0) return JsonError(res, 404, "no variable named " + codec::Printable(name));
        if (!feed.Writable(name))
            return JsonError(res, 403, codec::Printable(name) + " is not writable here (see --allow-write)");
        const codec::Record record = area->Read(index);
        const codec::ParsedValue parsed = codec::ParseValue(record.type, record.size, text);
        if (!parsed.ok)
            return JsonError(res, 400, "cannot set " + codec::Printable(name) + " (type " +
                                           codec::Printable(std::string_view(&record.type, 1)) + "): " + parsed.error);
        area->Write(index, parsed.bytes.data());
        res.set_content(codec::JsonObject(area->Read(index)) + "\n", "application/json");
    }
};

WebServer::WebServer(AreaFeed& feed, std::string bearerToken, std::string csrfToken)
    : impl_(std::make_unique<Impl>(feed, std::move(bearerToken), std::move(csrfToken))) {}

WebServer::~WebServer() = default;

int WebServer::Bind(const std::string& host, int port, std::string& why) {
    const int bound = port == 0 ? impl_->server.bind_to_any_port(host) : impl_->server.bind_to_port(host, port) ? port : -1;
    if (bound < 0) why = "cannot listen on " + host + ":" + std::to_string(port) + " (in use, or not an address here)";
    return bound;
}

void WebServer::Run() { impl_->server.listen_after_bind(); }

void WebServer::Stop() { impl_->server.stop(); }

}  // namespace tolsa::serve
