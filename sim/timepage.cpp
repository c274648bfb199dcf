#include "timepage.h"

#include "germantime.h"

#include <cctype>
#include <cstdio>

#include "simulator.h"

namespace sim {
std::string timePageHtml(int64_t utcMs) {
  const GermanTime t = germanTime(utcMs);
  // The program takes the first zone word on the page: none may stand before the stamp, and in
  // summer none at all (its search for the winter word comes first). Mind words like "Zeitzone".
  return "<html>\r\n<head><title>eBay Offizielle Zeit</title></head>\r\n<body>\r\n"
         "<h1>Offizielle eBay-Zeit</h1>\r\n"
         "<p>Alle Angebote auf eBay.de enden nach dieser Uhr.</p>\r\n"
         "<p><b>   " +
         t.stamp + " " + t.zone +
         "</b></p>\r\n"
         "<p>Die Uhrzeit wird bei jedem Aufruf der Seite neu ermittelt.</p>\r\n"
         "</body>\r\n</html>\r\n";
}

void registerTimePage(Simulator& sim) {
  sim.server().Get(R"(/aw-cgi/eBayISAPI\.dll)",
                   [&sim](const httplib::Request& req, httplib::Response& res) {
                     // The ISAPI command is the query's first piece: "?TimeShow".
                     const std::string::size_type q = req.target.find('?');
                     std::string command = q == std::string::npos ? "" : req.target.substr(q + 1);
                     command = command.substr(0, command.find('&'));
                     for (char& c : command)
                       c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                     if (command != "timeshow") {
                       res.status = 404;
                       res.set_content("not found", "text/plain");
                       return;
                     }
                     // The page and its Date header show the same second of the site's clock.
                     const int64_t site = sim.siteNowMs();
                     res.set_header("Date", httpDate(site));
                     res.set_content(timePageHtml(site), "text/html; charset=windows-1252");
                   });
}

}  // namespace sim
