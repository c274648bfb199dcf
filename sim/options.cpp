#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "releasesigning.h"
#include "simulator.h"

namespace sim {

std::string usage() {
  return "usage: auction-sim [--port N] [--request-log FILE]\n"
         "  [--item ID --title TEXT --ends-in SECONDS --price AMOUNT [--increment AMOUNT]\n"
         "   [--high-bidder USER:AMOUNT] [--ended-page-delay MS]]...\n"
         "                   (options after --item belong to that item)\n"
         "  [--account USER:PASSWORD]... [--signin-once]\n"
         "  [--no-bid-form] [--bid-form-action URL] [--unknown-reply] [--short-reply STEP]\n"
         "  [--fault STEP:KIND] [--item-fault KIND] [--connect-delay MS]\n"
         "  [--time-offset SECONDS] [--vendor-version TEXT] [--vendor-dir DIR]\n"
         "  [--vendor-key FILE] [--vendor-fault NAME:KIND]...\n"
         "  --time-offset SECONDS  the site's clock runs this far ahead of the system clock\n"
         "                   (negative: behind), to the millisecond (90.4): the time page,\n"
         "                   the Date header, the auctions' ends and the request log's\n"
         "                   arrival_ms go by it\n"
         "  --ended-page-delay MS  the item's page answers only after MS milliseconds once\n"
         "                   its auction has ended\n"
         "  --connect-delay MS  a newly accepted connection waits MS milliseconds before it is\n"
         "                   served (the handshakes of a real network); the request log says\n"
         "                   when each request's connection was accepted\n"
         "                   (connection_accepted_ms)\n"
         "  --signin-once    the first confirmed bid is answered with a sign-in page\n"
         "  --no-bid-form    the bid's confirmation page carries no PlaceBid form\n"
         "  --bid-form-action URL  the PlaceBid form posts to URL (say, another host)\n"
         "  --unknown-reply  the confirmed bid is answered with a page of unknown text\n"
         "  --short-reply STEP  bid step 1 or 2 answers \"OK\" (no page at all)\n"
         "  --vendor-key FILE  signs the update: /files/manifest and /files/manifest.sig are\n"
         "                   made for the vendor folder's files and the version of\n"
         "                   --vendor-version with this secret key (a key file of vendorsign\n"
         "                   keygen) unless the folder holds them\n"
         "  --vendor-fault NAME:KIND  the vendor file NAME (also manifest, manifest.sig or\n"
         "                   filelist) is served with a fault of one KIND:\n"
         "                   missing      404\n"
         "                   cut          the first half under the full Content-Length, then\n"
         "                                the connection closes\n"
         "                   stall        the first half under the full Content-Length, then\n"
         "                                nothing while the connection stays open\n"
         "                   chunked      the whole body, chunked, without Content-Length\n"
         "                   chunked-cut  the first half, chunked, then the connection closes\n"
         "                   chunked-long the body and 1 MiB more, chunked\n"
         "                   no-length    the whole body without Content-Length or chunks,\n"
         "                                ended by closing the connection\n"
         "                   huge         Content-Length 3 GiB, then zeros until the client\n"
         "                                leaves (at most 64 MiB)\n"
         "                   flip         one byte in the middle changed (same length)\n"
         "                   forge        an attacker's shell script instead of the file, and\n"
         "                                a manifest describing it under the old signature\n"
         "  --fault STEP:KIND  bid step 1 or 2 answers with a fault of one KIND:\n"
         "                   hang     accepts the request and never answers\n"
         "                   hang-once  the first request of the step for each item is never\n"
         "                            answered (that connection stalls); later ones are answered\n"
         "                   cut      the first half of the page under its full Content-Length,\n"
         "                            then the connection closes\n"
         "                   ten      a reply of exactly 10 characters\n"
         "                   garbage  2048 random bytes (the same ones every time)\n"
         "                   trickle  the headers at once, then the page one byte per second\n"
         "                   slow     the whole answer after 2 seconds with nothing before it\n"
         "                   reset    the connection is reset before anything is answered\n"
         "                   307:URL, 308:URL  a redirect to URL (which keeps the method and\n"
         "                            the body)\n"
         "  --item-fault KIND  every item page answers with a fault of one of these KINDs: hang,\n"
         "                   cut, ten or garbage\n" +
         ebayUsage();
}

namespace {
// Independent of the C locale: a test process may run under a German one.
bool toDouble(const std::string& s, double& out) {
  const char* last = s.data() + s.size();
  const auto [ptr, ec] = std::from_chars(s.data(), last, out);
  return !s.empty() && ec == std::errc() && ptr == last;
}
bool toInt(const std::string& s, int64_t& out) {
  char* end = nullptr;
  out = std::strtoll(s.c_str(), &end, 10);
  return !s.empty() && end && *end == '\0';
}
}  // namespace

std::optional<std::string> parseArguments(int argc, char** argv, Config& config) {
  Item* item = nullptr;
  const int64_t start = nowMs();
  for (int i = 1; i < argc; ++i) {
    const std::string opt = argv[i];
    auto value = [&](std::string& out) -> bool {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (opt == "--signin-once") {
      config.signinOnce = true;
      continue;
    }
    if (opt == "--no-bid-form") {
      config.noBidForm = true;
      continue;
    }
    if (opt == "--unknown-reply") {
      config.unknownReply = true;
      continue;
    }
    if (opt == "--help" || opt == "-h") return usage();
    if (std::string error; parseEbayOption(opt, value, config, item, error)) {
      if (!error.empty()) return error;
      continue;
    }
    if (!value(v)) return "missing value for " + opt;
    if (opt == "--port") {
      int64_t port;
      if (!toInt(v, port) || port < 0 || port > 65535) return "bad port: " + v;
      config.port = static_cast<int>(port);
    } else if (opt == "--item") {
      config.items.push_back(Item{});
      item = &config.items.back();
      item->id = v;
      item->endMs = start + 180000;
    } else if (opt == "--title" || opt == "--ends-in" || opt == "--price" || opt == "--increment" ||
               opt == "--high-bidder" || opt == "--ended-page-delay") {
      if (!item) return opt + " must follow --item";
      if (opt == "--ended-page-delay") {
        if (!toInt(v, item->endedPageDelayMs) || item->endedPageDelayMs < 0)
          return "bad --ended-page-delay: " + v;
      } else if (opt == "--title") {
        item->title = v;
      } else if (opt == "--ends-in") {
        double secs;
        if (!toDouble(v, secs)) return "bad --ends-in: " + v;
        item->endMs = start + static_cast<int64_t>(secs * 1000.0);
      } else if (opt == "--price") {
        if (!toDouble(v, item->price) || item->price < 0) return "bad --price: " + v;
      } else if (opt == "--increment") {
        if (!toDouble(v, item->increment) || item->increment <= 0) return "bad --increment: " + v;
      } else {
        const auto colon = v.rfind(':');
        double amount;
        if (colon == std::string::npos || colon == 0 || !toDouble(v.substr(colon + 1), amount))
          return "bad --high-bidder (USER:AMOUNT): " + v;
        item->highBidder = v.substr(0, colon);
        item->highMax = amount;
        item->bidCount = 1;
      }
    } else if (opt == "--account") {
      const auto colon = v.find(':');
      if (colon == std::string::npos || colon == 0) return "bad --account (USER:PASSWORD): " + v;
      config.accounts[v.substr(0, colon)] = v.substr(colon + 1);
    } else if (opt == "--short-reply") {
      int64_t step;
      if (!toInt(v, step) || step < 1 || step > 2) return "bad --short-reply (1 or 2): " + v;
      config.shortReplyStep = static_cast<int>(step);
    } else if (opt == "--fault") {
      if (!parseFault(v, config)) return "bad --fault (STEP:KIND): " + v;
    } else if (opt == "--item-fault") {
      if (!isFaultKind(v)) return "bad --item-fault (hang, cut, ten or garbage): " + v;
      config.itemFault = v;
    } else if (opt == "--time-offset") {
      double secs;
      // Up to ten years either way, to the millisecond.
      if (!toDouble(v, secs) || !(secs > -3.2e8 && secs < 3.2e8)) return "bad --time-offset: " + v;
      config.timeOffsetMs = static_cast<int64_t>(std::llround(secs * 1000.0));
    } else if (opt == "--connect-delay") {
      if (!toInt(v, config.connectDelayMs) || config.connectDelayMs < 0 ||
          config.connectDelayMs > 600000)
        return "bad --connect-delay (0 to 600000 ms): " + v;
    } else if (opt == "--bid-form-action") {
      config.bidFormAction = v;
    } else if (opt == "--vendor-version") {
      config.vendorVersion = v;
    } else if (opt == "--vendor-dir") {
      config.vendorDir = v;
    } else if (opt == "--vendor-key") {
      std::string error;
      config.vendorSecretKey = vendorsign::readSecretKeyFile(v, error);
      if (config.vendorSecretKey.empty()) return "bad --vendor-key: " + error;
    } else if (opt == "--vendor-fault") {
      if (!parseVendorFault(v, config)) return "bad --vendor-fault (NAME:KIND): " + v;
    } else if (opt == "--request-log") {
      config.requestLog = v;
    } else {
      return "unknown option " + opt;
    }
  }
  // The auctions end by the site's clock: their ends were given from now on it.
  for (Item& i : config.items) i.endMs += config.timeOffsetMs;
  return std::nullopt;
}

}  // namespace sim
