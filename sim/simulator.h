#pragma once

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ebayconfig.h"

namespace sim {

// Milliseconds since the Unix epoch on the system clock.
int64_t nowMs();
// The same to the microsecond.
double nowMsPrecise();

// An HTTP date ("Sun, 06 Dec 2026 18:15:30 GMT") of the whole second at utcMs.
std::string httpDate(int64_t utcMs);

struct Item {
  std::string id;
  std::string title = "Artikel";
  int64_t endMs = 0;       // end of the auction by the site's clock, ms since the epoch
  double price = 1.0;      // current price (the start price while nobody has bid)
  double increment = 0.5;  // bid increment
  std::string highBidder;  // current high bidder, empty while nobody has bid
  double highMax = 0;      // the high bidder's proxy maximum
  int bidCount = 0;
  // Once the auction has ended, its item page answers only after this long (a site that is
  // slow right after an end).
  int64_t endedPageDelayMs = 0;
};

struct Config {
  int port = 0;  // 0 picks a free port
  std::vector<Item> items;
  std::map<std::string, std::string> accounts;  // user -> password
  bool signinOnce = false;                      // the first step-2 answer is a sign-in page
  std::string vendorVersion;                    // body of /files/update+ (empty: 404)
  std::string vendorDir;                        // folder served as /files/NAME
  // Signs the manifest the vendor routes make for the folder (libsodium's 64-byte secret key);
  // empty: only a manifest lying in the folder is served.
  std::string vendorSecretKey;
  // Broken or forged vendor files on demand: file name -> fault (see vendorFaultKinds()).
  std::map<std::string, std::string> vendorFaults;
  std::string requestLog;  // one JSON line per request
  // A newly accepted connection waits this long before it is served (a stand-in for the
  // round trips of a TCP and TLS handshake over a real network).
  int64_t connectDelayMs = 0;
  // The site's clock runs this far ahead of the system clock (negative: behind), to the
  // millisecond: the time page, the Date header, the auctions' ends and the request log go by
  // it.
  int64_t timeOffsetMs = 0;

  // Broken answers of the bidding service on demand.
  bool noBidForm = false;     // the confirmation page of step 1 carries no "PlaceBid" form
  std::string bidFormAction;  // the "PlaceBid" form's target address (empty: this simulator)
  bool unknownReply = false;  // step 2 answers a page with none of the site's known texts
  int shortReplyStep = 0;     // 1 or 2: that bid step answers "OK" (too short to be a page)

  // A faulty connection at one bid step (faultroutes.cpp): "hang", "hang-once", "cut", "ten",
  // "garbage", "trickle" or "reset"; or a redirect, "307" or "308", to faultLocation.
  int faultStep = 0;  // 1 or 2; 0: no fault
  std::string fault;
  std::string faultLocation;
  std::string itemFault;  // the same kinds for every item page; empty: no fault

  EbayConfig ebay;  // eBay's API on the same port
};

// Reads the command line (see usage()). Returns an error text on bad arguments.
std::optional<std::string> parseArguments(int argc, char** argv, Config& config);
std::string usage();
// The options of eBay's API (ebayoptions.cpp): true when `opt` is one of them, with `error` set
// when it cannot be read; `item` is the item the options after --item belong to.
bool parseEbayOption(const std::string& opt, const std::function<bool(std::string&)>& value,
                     Config& config, Item* item, std::string& error);
std::string ebayUsage();

// The auction site and vendor server on 127.0.0.1.
class Simulator {
 public:
  explicit Simulator(Config config);
  ~Simulator();

  // Binds and starts serving on a thread of its own; returns the port, or -1.
  int start();
  void stop();
  int port() const { return m_port; }
  // "http://127.0.0.1:PORT"
  std::string baseUrl() const;

  httplib::Server& server() { return m_server; }
  Config& config() { return m_config; }
  std::mutex& mutex() { return m_mutex; }
  Item* findItem(const std::string& id);  // call with mutex() held

  // The site's clock: the system clock plus the configured offset (which a benchmark may
  // change while the server runs).
  int64_t siteNowMs() const { return nowMs() + m_siteOffsetMs.load(); }
  double siteNowMsPrecise() const { return nowMsPrecise() + double(m_siteOffsetMs.load()); }
  void setSiteOffsetMs(int64_t ms) { m_siteOffsetMs = ms; }

  // True once the sign-in page has been served (for --signin-once).
  std::atomic<bool> signinServed{false};
  // The delay before a newly accepted connection is served (Config::connectDelayMs; a
  // benchmark may change it while the server runs).
  std::atomic<int64_t> connectDelayMs{0};
  // Connections accepted so far, and those of them the server has closed.
  std::atomic<int> connectionsAccepted{0};
  std::atomic<int> connectionsClosed{0};
  // Set when the server stops: answers held back on purpose (a hanging step) give up.
  std::atomic<bool> stopping{false};
  // Items whose first request of the faulty step has been held back ("hang-once"); call with
  // mutex() held.
  std::set<std::string> firstRequestsHeld;

 private:
  void logRequest(const httplib::Request& req, const httplib::Response& res);

  Config m_config;
  httplib::Server m_server;
  std::thread m_thread;
  std::mutex m_mutex;
  std::mutex m_logMutex;
  std::ofstream m_log;
  int m_port = -1;
  std::atomic<int64_t> m_siteOffsetMs{0};
};

// Route groups, each in a file of its own.
void registerBidRoutes(Simulator& sim);     // the two bid steps
void registerItemPage(Simulator& sim);      // the item page the browser shows
void registerTimePage(Simulator& sim);      // the official time page
void registerVendorRoutes(Simulator& sim);  // version file, file list, update files
void registerEbayRoutes(Simulator& sim);    // eBay's token endpoint, consent, Browse, Offer

// Notes the JSON answer of the request this thread serves, for the request log (the body the
// log would see may be compressed by then).
void noteJsonAnswer(const std::string& body);

// A text inside HTML: markup characters and quotes as entities.
std::string escapeHtml(const std::string& text);

// JSON string literal of a text (quotes included).
std::string jsonString(const std::string& text);

// The faults the item page can answer with (a bid step also with "hang-once", "trickle",
// "reset" and the redirects "307:URL" and "308:URL"), and applying the configured one to the answer
// of a step or of the item page (faultroutes.cpp). parseFault reads "STEP:KIND"; false for anything
// else.
bool isFaultKind(const std::string& kind);
bool parseFault(const std::string& text, Config& config);
void applyBidFault(Simulator& sim, int step, const std::string& item, const httplib::Request& req,
                   httplib::Response& res);
void applyFault(Simulator& sim, const std::string& kind, httplib::Response& res);

// The faults a vendor file can be served with ("--vendor-fault NAME:KIND", vendorroutes.cpp).
const std::vector<std::string>& vendorFaultKinds();
bool parseVendorFault(const std::string& text, Config& config);

}  // namespace sim
