// The server's portable logic: requests as gpsd's clients send them, the
// watch rules, the replies, the queue from the reader thread, the send
// buffers and the command line.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "server/feed_queue.h"
#include "server/gpsd_session.h"
#include "server/request_parser.h"
#include "server/send_buffer.h"
#include "server/server_options.h"
#include "server/watch_policy.h"

namespace {

std::string Describe(const Request& r) {
  static const char* const NAMES[] = {"VERSION", "WATCH", "POLL", "DEVICES", "DEVICE", "UNRECOGNIZED", "TOO_LONG"};
  std::string s = NAMES[static_cast<int>(r.kind)];
  if (r.hasArgument || r.kind == RequestKind::UNRECOGNIZED) s += " " + r.text;
  return s;
}

std::vector<std::string> Parse(RequestParser* parser, const std::vector<std::string>& chunks, bool* ok = nullptr) {
  std::vector<Request> requests;
  bool fed = true;
  for (const std::string& chunk : chunks) fed = parser->Feed(chunk.data(), chunk.size(), &requests) && fed;
  if (ok) *ok = fed;
  std::vector<std::string> described;
  for (const Request& r : requests) described.push_back(Describe(r));
  return described;
}

struct ParseCase {
  const char* legend;
  std::vector<std::string> chunks;
  std::vector<std::string> expected;
};

TEST(request_parser_test, requests_as_clients_send_them) {
  const ParseCase cases[] = {
      {"OpenCPN: no ';', no line end, a space in the object",
       {R"(?WATCH={"class":"WATCH", "nmea":true})"},
       {R"(WATCH {"class":"WATCH", "nmea":true})"}},
      {"QGIS: ';' but no line end",
       {R"(?WATCH={"enable":true,"nmea":true,"raw":true};)"},
       {R"(WATCH {"enable":true,"nmea":true,"raw":true})"}},
      {"python3-gps and libgps", {"?WATCH={\"enable\":true,\"json\":true};\n"}, {R"(WATCH {"enable":true,"json":true})"}},
      {"several on one line", {"?VERSION;?DEVICES;?POLL;?DEVICE;\n"}, {"VERSION", "DEVICES", "POLL", "DEVICE"}},
      {"without ';', each on its line", {"?VERSION\r\n?WATCH\n?POLL"}, {"VERSION", "WATCH", "POLL"}},
      {"an object split across two chunks",
       {"?WATCH={\"enable\":", "true}\n?POLL;"},
       {R"(WATCH {"enable":true})", "POLL"}},
      {"braces and quotes inside strings", {R"(?DEVICE={"path":"a}\"{b"};)"}, {R"(DEVICE {"path":"a}\"{b"})"}},
      {"an object that never closes ends at its line end",
       {"?WATCH={\"enable\":true\n?VERSION;"},
       {R"(WATCH {"enable":true)", "VERSION"}},
      {"lines not starting with '?' get nothing, even split",
       {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\nhello ", "world ?VERSION;\n?POLL;"},
       {"POLL"}},
      {"unknown, lower case, and an argument where none is taken",
       {"?FOO;\n?watch;\n?POLL={}\n"},
       {"UNRECOGNIZED ?FOO;\n", "UNRECOGNIZED ?watch;\n", "UNRECOGNIZED ?POLL={}\n"}},
      {"an unknown request echoes the rest of its line only", {"?VERSION;?NOPE;x\n?POLL;"},
       {"VERSION", "UNRECOGNIZED ?NOPE;x\n", "POLL"}},
  };
  for (const ParseCase& c : cases) {
    RequestParser parser;
    EXPECT_EQ(Parse(&parser, c.chunks), c.expected) << c.legend;
  }
}

TEST(request_parser_test, a_request_over_the_limit_ends_the_connection) {
  const std::string open = "?WATCH={\"device\":\"" + std::string(REQUEST_LIMIT, 'x');
  RequestParser split;
  bool ok = true;
  EXPECT_EQ(Parse(&split, {"?VERSION;", open.substr(0, 5000), open.substr(5000)}, &ok),
            (std::vector<std::string>{"VERSION", "TOO_LONG"}));
  EXPECT_FALSE(ok);
  EXPECT_EQ(Parse(&split, {"?VERSION;\n"}, &ok), std::vector<std::string>{}) << "nothing after the disconnect";
  EXPECT_FALSE(ok);

  RequestParser closed;
  EXPECT_EQ(Parse(&closed, {open + "\"}\n"}, &ok), std::vector<std::string>{"TOO_LONG"});

  // Just under the limit is served; a long line without '?' is ignored.
  const std::string near = "?WATCH={\"device\":\"" + std::string(REQUEST_LIMIT - 30, 'x') + "\"}";
  RequestParser fits;
  const std::vector<std::string> got =
      Parse(&fits, {near, std::string(3 * REQUEST_LIMIT, 'y'), "\n?POLL;"}, &ok);
  EXPECT_TRUE(ok);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], "POLL");
}

std::string Echo(const GpsdWatch& p) {
  std::string s;
  for (bool b : {p.enable, p.json, p.nmea}) s += b ? '1' : '0';
  s += std::to_string(p.raw);
  for (bool b : {p.scaled, p.timing, p.split24, p.pps}) s += b ? '1' : '0';
  return s + (p.device.empty() ? "" : " " + p.device);
}

TEST(watch_policy_test, omitted_fields_keep_or_reset_as_gpsd_does) {
  struct Step {
    const char* object;
    const char* expected;  // enable json nmea raw scaled timing split24 pps [device]
    bool valid;
  };
  // One client's requests in turn: each step starts from the one before.
  const Step steps[] = {
      {R"({"enable":true,"json":true})", "1100 0000", true},
      {R"({"nmea":true,"pps":true,"scaled":true})", "1110 1001", true},  // json kept
      {R"({"raw":2,"split24":1,"device":"COM3"})", "1112 0010 COM3", true},  // pps, scaled back to false
      {R"({"enable":false})", "0112 0000", true},  // json, nmea, raw kept; device to every device
      {R"({"class":"WATCH","x":[1,{"y":null}],"json":false})", "1012 0000", true},
      {R"({"raw":true})", "1010 0000", true},  // as QGIS sends it: reads as 0
      {R"({"json":"yes"})", "1010 0000", false},
      {R"({"enable":false,"nmea":false,"raw":"2"})", "1010 0000", false},  // nothing of it taken
      {R"({"raw":3})", "1010 0000", false},
      {R"({"device":7})", "1010 0000", false},
      {R"({"enable":true)", "1010 0000", false},
      {R"({"enable":true} x)", "1010 0000", false},
      {"[true]", "1010 0000", false},
      {R"({"timing":true , "nmea" : false })", "1000 0100", true},
  };
  GpsdWatch policy = {};
  for (const Step& s : steps) {
    const std::string error = ApplyWatch(s.object, &policy);
    std::string expected = s.expected;
    expected.erase(4, 1);
    EXPECT_EQ(Echo(policy), expected) << s.object;
    EXPECT_EQ(error.empty(), s.valid) << s.object << ": " << error;
  }
}

TEST(watch_policy_test, what_a_watcher_is_sent) {
  GpsdWatch p = {};
  EXPECT_FALSE(WatchesJson(p, "COM3") || WatchesNmea(p, "COM3"));
  ASSERT_EQ(ApplyWatch(R"({"json":true})", &p), "");
  EXPECT_TRUE(WatchesJson(p, "COM3"));
  EXPECT_FALSE(WatchesNmea(p, "COM3"));
  ASSERT_EQ(ApplyWatch(R"({"raw":1,"device":"COM4"})", &p), "");
  EXPECT_TRUE(WatchesNmea(p, "COM4") && WatchesJson(p, "COM4"));
  EXPECT_FALSE(WatchesNmea(p, "COM3") || WatchesJson(p, "COM3"));
  ASSERT_EQ(ApplyWatch(R"({"enable":false})", &p), "");
  EXPECT_FALSE(WatchesJson(p, "COM4") || WatchesNmea(p, "COM4"));
}

SharedLine Line(const std::string& text) { return std::make_shared<const std::string>(text); }

// Sends what waits in gathering sends of step bytes at most, each over at
// most two pieces.
std::string Drain(SendBuffer* b, size_t step) {
  std::string got;
  SendBuffer::Piece pieces[2];
  while (size_t n = b->Pending(pieces, 2)) {
    size_t sent = 0;
    for (size_t i = 0; i < n && sent < step; ++i) {
      const size_t part = std::min(step - sent, pieces[i].size);
      got.append(pieces[i].data, part);
      sent += part;
    }
    b->Sent(sent);
  }
  EXPECT_EQ(b->Bytes(), 0u);
  return got;
}

TEST(send_buffer_test, a_slow_client_loses_whole_oldest_lines) {
  SendBuffer b(20);
  b.Add(Line("aaaaaa\n"), 0);
  b.Add(Line("bbbbbb\n"), 0);
  b.Sent(3);  // "aaa" is on the wire: that line must go out whole
  b.Add(Line("cccccc\n"), 0);
  b.Add(Line("dddddd\n"), 0);  // 4 + 7 + 7 + 7 > 20: b goes
  EXPECT_EQ(b.DroppedLines(), 1u);
  b.Add(Line(std::string(21, 'e')), 0);  // longer than the buffer: never fits
  EXPECT_EQ(b.DroppedLines(), 2u);
  EXPECT_EQ(b.Bytes(), 18u);
  EXPECT_EQ(Drain(&b, 5), "aaa\ncccccc\ndddddd\n");
}

TEST(send_buffer_test, behind_for_the_limit_means_disconnect) {
  SendBuffer b(10);
  b.Add(Line("0123456789"), 1000);
  EXPECT_FALSE(b.TooFarBehind(1000 + 10 * BEHIND_LIMIT_MS)) << "full is not behind";
  b.Add(Line("abc"), 2000);  // the first loss
  EXPECT_FALSE(b.TooFarBehind(2000 + BEHIND_LIMIT_MS - 1));
  EXPECT_TRUE(b.TooFarBehind(2000 + BEHIND_LIMIT_MS));
  Drain(&b, 2);  // caught up: the clock starts again at the next loss
  EXPECT_FALSE(b.TooFarBehind(2000 + BEHIND_LIMIT_MS));
  b.Add(Line("01234"), 9000);
  b.Add(Line("56789"), 9000);
  b.Add(Line("x"), 9500);
  EXPECT_FALSE(b.TooFarBehind(9500 + BEHIND_LIMIT_MS - 1));
  b.Sent(2);  // reading, but not catching up
  b.Add(Line("y"), 10000);
  EXPECT_TRUE(b.TooFarBehind(9500 + BEHIND_LIMIT_MS));
}

TEST(feed_queue_test, full_drops_the_oldest_and_counts) {
  FeedQueue q(3);
  EXPECT_TRUE(q.PushSentence("$GPGGA,1*00", 11));
  EXPECT_FALSE(q.PushSentence("$GPGGA,2*00", 11));
  GpsFix fix = {};
  fix.latitude = 48.1173;
  GpsSky sky = {};
  sky.signalCount = 2;
  sky.usedCount = 1;
  sky.signals[0] = {CONSTELLATION_GPS, 5, 1, 1, 38, 250, 40};
  sky.signals[1] = {CONSTELLATION_GLONASS, 21, GPS_UNKNOWN, 0, 85, 247, 32};
  EXPECT_FALSE(q.PushEpoch(fix, sky));
  EXPECT_FALSE(q.PushSentence("$GPGGA,3*00", 11));
  EXPECT_FALSE(q.PushSentence("$GPGGA,4*00", 11));
  EXPECT_EQ(q.Dropped(), 2u);
  FeedEntry e;
  ASSERT_TRUE(q.Pop(&e));
  ASSERT_EQ(e.kind, FeedEntry::EPOCH);
  EXPECT_EQ(e.fix.latitude, 48.1173);
  ASSERT_EQ(e.sky.signalCount, 2);
  EXPECT_EQ(e.sky.usedCount, 1);
  EXPECT_EQ(e.sky.signals[1].svid, 21);
  EXPECT_EQ(e.sky.signals[1].constellation, CONSTELLATION_GLONASS);
  for (const char* expected : {"$GPGGA,3*00", "$GPGGA,4*00"}) {
    ASSERT_TRUE(q.Pop(&e));
    ASSERT_EQ(e.kind, FeedEntry::SENTENCE);
    EXPECT_EQ(std::string(e.text, e.length), expected);
  }
  EXPECT_FALSE(q.Pop(&e));
  EXPECT_TRUE(q.PushSentence("$GPGGA,5*00", 11)) << "empty again";
}

// A reader thread pushing while the server's thread pops: every entry is
// either received, in order, or counted as dropped.
TEST(feed_queue_test, nothing_lost_uncounted_between_threads) {
  FeedQueue q(16);
  constexpr int COUNT = 20000;
  std::thread reader([&q] {  // the last entry is never dropped: nothing comes after it
    for (int i = 0; i < COUNT; ++i) {
      const std::string text = "$GPTXT," + std::to_string(i);
      q.PushSentence(text.data(), static_cast<int32_t>(text.size()));
    }
  });
  std::vector<int> got;
  FeedEntry e;
  while (got.empty() || got.back() != COUNT - 1)
    if (q.Pop(&e)) got.push_back(std::stoi(std::string(e.text + 7, e.length - 7)));
  reader.join();
  EXPECT_EQ(got.size() + q.Dropped(), static_cast<size_t>(COUNT));
  for (size_t i = 1; i < got.size(); ++i) ASSERT_LT(got[i - 1], got[i]);
}

}  // namespace

namespace {

// The "class" of each line of replies, in order; every line ends in CR LF.
std::vector<std::string> Classes(const std::string& replies) {
  std::vector<std::string> classes;
  size_t at = 0;
  while (at < replies.size()) {
    const size_t end = replies.find("\r\n", at);
    if (end == std::string::npos) return {"(line without CR LF)"};
    const std::string line = replies.substr(at, end - at);
    const size_t c = line.find("{\"class\":\"");
    classes.push_back(c == 0 ? line.substr(10, line.find('"', 10) - 10) : "(no class first)");
    at = end + 2;
  }
  return classes;
}

struct Conversation {
  GpsdSession session;
  GpsdDevice device = {"COM3", true, 1717891615000, 4800, 1.0};
  GpsFix fix = {};
  GpsSky sky = {};
  bool hasDevice = true;
  std::string Send(const std::string& chunk, bool* open = nullptr) {
    const ServerView view = {"1.0", hasDevice ? &device : nullptr, &fix, &sky, 1717891616000};
    std::string out;
    const bool stays = session.Receive(chunk.data(), chunk.size(), view, &out);
    if (open) *open = stays;
    return out;
  }
};

TEST(gpsd_session_test, replies_as_gpsd_gives_them) {
  Conversation c;
  EXPECT_EQ(c.Send("?WATCH={\"enable\":true,\"json\":true}\n"),
            "{\"class\":\"DEVICES\",\"devices\":[{\"class\":\"DEVICE\",\"path\":\"COM3\",\"driver\":\"NMEA0183\","
            "\"activated\":\"2024-06-09T00:06:55.000Z\",\"flags\":1,\"native\":0,\"bps\":4800,\"parity\":\"N\","
            "\"stopbits\":1,\"cycle\":1.00}]}\r\n"
            "{\"class\":\"WATCH\",\"enable\":true,\"json\":true,\"nmea\":false,\"raw\":0,\"scaled\":false,"
            "\"timing\":false,\"split24\":false,\"pps\":false}\r\n");
  EXPECT_EQ(c.Send("?VERSION;?FOO;\n"),
            "{\"class\":\"VERSION\",\"release\":\"1.0\",\"rev\":\"1.0\",\"proto_major\":3,\"proto_minor\":14}\r\n"
            "{\"class\":\"ERROR\",\"message\":\"Unrecognized request '?FOO;\\n'\"}\r\n");
  // A bad WATCH is refused but still answered with the devices and the
  // watch as it stays.
  EXPECT_EQ(Classes(c.Send("?WATCH={\"nmea\":7};")), (std::vector<std::string>{"ERROR", "DEVICES", "WATCH"}));
  EXPECT_TRUE(c.session.Watch().json);
  EXPECT_FALSE(c.session.Watch().nmea);
  EXPECT_EQ(Classes(c.Send("?POLL;?DEVICES;?DEVICE;")), (std::vector<std::string>{"POLL", "DEVICES", "DEVICE"}));
  EXPECT_EQ(c.Send("$GPGGA,1*00\r\nhello\n"), "") << "lines without '?' get nothing";
}

TEST(gpsd_session_test, the_receiver_is_not_reconfigured_by_clients) {
  Conversation c;
  const struct {
    const char* request;
    const char* reply;  // the start of the one line expected
  } cases[] = {
      {R"(?DEVICE={"path":"COM3","bps":4800,"parity":"N","stopbits":1,"native":0,"cycle":1.0})",
       R"({"class":"DEVICE","path":"COM3",)"},
      {R"(?DEVICE={"bps":9600})", R"({"class":"ERROR","message":"The receiver's speed and mode)"},
      {R"(?DEVICE={"native":1})", R"({"class":"ERROR","message":"The receiver's speed and mode)"},
      {R"(?DEVICE={"cycle":0.2})", R"({"class":"ERROR","message":"The receiver's speed and mode)"},
      {R"(?DEVICE={"path":"COM4"})", R"({"class":"ERROR","message":"No such device as COM4"})"},
      {R"(?DEVICE={"path":)", R"({"class":"ERROR","message":"Invalid DEVICE: )"},
  };
  for (const auto& k : cases) {
    const std::string reply = c.Send(std::string(k.request) + "\n");
    EXPECT_EQ(reply.rfind(k.reply, 0), 0u) << k.request << " got " << reply;
    EXPECT_EQ(Classes(reply).size(), 1u) << k.request;
  }
  c.hasDevice = false;
  EXPECT_EQ(c.Send("?DEVICES;"), "{\"class\":\"DEVICES\",\"devices\":[]}\r\n");
  EXPECT_EQ(c.Send("?POLL;"), "{\"class\":\"POLL\",\"time\":\"2024-06-09T00:06:56.000Z\",\"active\":0,\"tpv\":[],"
                              "\"gst\":[],\"sky\":[]}\r\n");
}

TEST(gpsd_session_test, an_overlong_request_gets_an_error_then_the_disconnect) {
  Conversation c;
  bool open = true;
  const std::string reply = c.Send("?VERSION;?WATCH={" + std::string(REQUEST_LIMIT, ' '), &open);
  EXPECT_FALSE(open);
  EXPECT_EQ(Classes(reply), (std::vector<std::string>{"VERSION", "ERROR"}));
}

struct OptionsCase {
  std::vector<const char*> words;
  const char* expected;  // ServerOptionsText, or the start of the error
};

TEST(server_options_test, command_lines) {
  const OptionsCase cases[] = {
      {{}, "--port auto --baud auto --listen 127.0.0.1:2947 --nmea-listen 127.0.0.1:10110 --max-clients 64"},
      {{"--port", "com3", "--baud", "921600", "--listen", "0.0.0.0:3000", "--nmea-listen", "off", "--max-clients",
        "2"},
       "--port COM3 --baud 921600 --listen 0.0.0.0:3000 --nmea-listen off --max-clients 2"},
      {{"--nmea-listen", "192.168.1.20:65535", "--install"},
       "--port auto --baud auto --listen 127.0.0.1:2947 --nmea-listen 192.168.1.20:65535 --max-clients 64"},
      {{"--port", "COM17"}, "bad value for --port: 'COM17'"},
      {{"--baud", "4801"}, "bad value for --baud"},
      {{"--listen", "127.0.0.1"}, "bad value for --listen"},
      {{"--listen", "127.0.0.256:1"}, "bad value for --listen"},
      {{"--listen", "127.0.1:2947"}, "bad value for --listen"},
      {{"--listen", "1.2.3.4.5:2947"}, "bad value for --listen"},
      {{"--listen", "127.0.0.1:0"}, "bad value for --listen"},
      {{"--max-clients", "0"}, "bad value for --max-clients"},
      {{"--max-clients"}, "bad value for --max-clients: ''"},
      {{"--install", "--uninstall"}, "only one of --install, --uninstall"},
      {{"-p"}, "unknown option -p"},
  };
  for (const OptionsCase& c : cases) {
    ServerOptions options;
    const std::string error = ParseServerOptions(static_cast<int>(c.words.size()), c.words.data(), &options);
    const std::string got = error.empty() ? ServerOptionsText(options) : error;
    EXPECT_EQ(got.rfind(c.expected, 0), 0u) << c.expected << " got " << got;
  }
  ServerOptions options;
  const char* install[] = {"--install", "--port", "COM2"};
  ASSERT_EQ(ParseServerOptions(3, install, &options), "");
  EXPECT_EQ(options.action, ServerOptions::INSTALL);
}

}  // namespace
