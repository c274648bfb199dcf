// eBay's sign-in on the simulator: the token endpoint (client credentials, authorization code,
// refresh) and the consent page that sends the browser to the keyset's accept URL with `code`
// and `state`. The redirect_uri of both is the keyset's RuName, never a URL.
#include <algorithm>
#include <memory>

#include "ebayservice.h"

namespace sim::ebay {
namespace {

const int64_t kCodeSeconds = 299;

// What a keyset may ask for: application tokens see public data, user tokens also bid.
bool withinScopes(const std::set<std::string>& asked, const std::set<std::string>& allowed) {
  return !asked.empty() &&
         std::includes(allowed.begin(), allowed.end(), asked.begin(), asked.end());
}

void oauthError(httplib::Response& res, int status, const std::string& error,
                const std::string& description) {
  answerJson(res, status,
             "{\"error\":" + jsonString(error) +
                 ",\"error_description\":" + jsonString(description) + "}");
}

std::string value(const std::map<std::string, std::string>& form, const std::string& name) {
  const auto it = form.find(name);
  return it == form.end() ? std::string() : it->second;
}

// The keyset's App ID and Cert ID in "Authorization: Basic ...".
bool clientAuthenticated(const EbayConfig& cfg, const httplib::Request& req) {
  const std::string header = req.get_header_value("Authorization");
  const std::string prefix = "Basic ";
  std::string pair;
  if (cfg.appId.empty() || header.compare(0, prefix.size(), prefix) != 0 ||
      !base64Decode(header.substr(prefix.size()), pair))
    return false;
  return pair == cfg.appId + ":" + cfg.certId;
}

std::string tokenAnswer(Service& svc, const Grant& grant, const std::string& refreshToken) {
  const EbayConfig& cfg = svc.sim.config().ebay;
  const std::string access = svc.newSecret();
  svc.accessTokens[access] = grant;
  std::string body = "{\"access_token\":" + jsonString(access) +
                     ",\"expires_in\":" + std::to_string(cfg.accessTokenSeconds);
  if (!refreshToken.empty())
    body += ",\"refresh_token\":" + jsonString(refreshToken) +
            ",\"refresh_token_expires_in\":" + std::to_string(cfg.refreshTokenSeconds);
  return body + ",\"token_type\":\"" +
         (grant.user.empty() ? "Application Access Token" : "User Access Token") + "\"}";
}

void token(Service& svc, const httplib::Request& req, httplib::Response& res) {
  std::lock_guard<std::mutex> lock(svc.sim.mutex());
  const EbayConfig& cfg = svc.sim.config().ebay;
  if (const int forced = svc.forcedStatus("token")) {
    if (forced == 401)
      return oauthError(res, 401, "invalid_client", "client authentication failed");
    return oauthError(res, forced, "temporarily_unavailable",
                      "The server is temporarily unable to handle the request.");
  }
  std::map<std::string, std::string> form;
  if (req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) != 0 ||
      !parseForm(req.body, form))
    return oauthError(res, 400, "invalid_request",
                      "request is missing a required parameter or malformed.");
  if (!clientAuthenticated(cfg, req))
    return oauthError(res, 401, "invalid_client", "client authentication failed");

  const int64_t now = svc.sim.siteNowMs();
  const std::string grantType = value(form, "grant_type");
  const std::set<std::string> scopes = splitScopes(value(form, "scope"));
  const std::string invalidScope =
      "The requested scope is invalid, unknown, malformed, or exceeds the scope granted to the "
      "client";
  if (grantType == "client_credentials") {
    if (!withinScopes(scopes, {kPublicScope}))
      return oauthError(res, 400, "invalid_scope", invalidScope);
    return answerJson(res, 200,
                      tokenAnswer(svc, {"", scopes, now + cfg.accessTokenSeconds * 1000}, ""));
  }
  if (grantType == "authorization_code") {
    const auto it = svc.codes.find(value(form, "code"));
    if (it == svc.codes.end() || it->second.grant.expiresMs <= now ||
        it->second.redirectUri != value(form, "redirect_uri")) {
      return oauthError(res, 400, "invalid_grant",
                        "the provided authorization grant code is invalid or was issued to "
                        "another client");
    }
    Grant grant = it->second.grant;
    svc.codes.erase(it);  // a code serves once
    const std::string refresh = svc.newSecret();
    svc.refreshTokens[refresh] = {grant.user, grant.scopes, now + cfg.refreshTokenSeconds * 1000};
    grant.expiresMs = now + cfg.accessTokenSeconds * 1000;
    return answerJson(res, 200, tokenAnswer(svc, grant, refresh));
  }
  if (grantType == "refresh_token") {
    const auto it = svc.refreshTokens.find(value(form, "refresh_token"));
    if (it == svc.refreshTokens.end() || it->second.expiresMs <= now)
      return oauthError(res, 400, "invalid_grant",
                        "the provided authorization refresh token is invalid or was issued to "
                        "another client");
    if (!withinScopes(scopes, it->second.scopes))
      return oauthError(res, 400, "invalid_scope", invalidScope);
    return answerJson(
        res, 200,
        tokenAnswer(svc, {it->second.user, scopes, now + cfg.accessTokenSeconds * 1000}, ""));
  }
  if (grantType.empty())
    return oauthError(res, 400, "invalid_request",
                      "request is missing a required parameter or malformed.");
  oauthError(res, 400, "unsupported_grant_type",
             "grant type in request is not supported by the "
             "authorization server");
}

void page(httplib::Response& res, int status, const std::string& title, const std::string& body) {
  res.status = status;
  res.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
                      "</title></head>\n<body>\n" + body + "\n</body></html>\n",
                  "text/html; charset=utf-8");
}

// The consent request as the keyset's owner sent it: an error text, or empty when eBay shows
// the page.
std::string consentFault(const EbayConfig& cfg, const std::map<std::string, std::string>& q) {
  if (cfg.appId.empty() || value(q, "client_id") != cfg.appId) return "unknown client_id";
  if (value(q, "redirect_uri") != cfg.ruName) return "redirect_uri is not the keyset's RuName";
  if (value(q, "response_type") != "code") return "response_type must be code";
  if (!withinScopes(splitScopes(value(q, "scope")), {kPublicScope, kBidScope}))
    return "invalid scope";
  return {};
}

void consentPage(httplib::Response& res, const std::map<std::string, std::string>& q,
                 const std::string& note) {
  std::string hidden;
  for (const char* name : {"client_id", "redirect_uri", "response_type", "scope", "state"})
    hidden += "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" +
              escapeHtml(value(q, name)) + "\">\n";
  page(res, 200, "eBay - Grant application access",
       "<h1>Grant application access</h1>\n" + note +
           "<p>The application would like to view public data and to place bids for you.</p>\n"
           "<form name=\"consent\" method=\"post\" action=\"/oauth2/authorize\">\n" +
           hidden +
           "User ID: <input type=\"text\" name=\"userid\" id=\"userid\" autofocus>\n"
           "Password: <input type=\"password\" name=\"pass\" id=\"pass\">\n"
           "<button type=\"submit\" name=\"decision\" value=\"agree\" id=\"agree\">I agree"
           "</button>\n"
           "<button type=\"submit\" name=\"decision\" value=\"decline\">No thanks</button>\n"
           "</form>");
}

std::string withQuery(const std::string& url, const std::string& query) {
  return url + (url.find('?') == std::string::npos ? "?" : "&") + query;
}

void consent(Service& svc, const httplib::Request& req, httplib::Response& res) {
  std::lock_guard<std::mutex> lock(svc.sim.mutex());
  const Config& config = svc.sim.config();
  std::map<std::string, std::string> q;
  if (req.method == "GET") {
    for (const auto& p : req.params) q.emplace(p.first, p.second);
  } else if (!parseForm(req.body, q)) {
    return page(res, 400, "eBay - Error", "<p>Bad request.</p>");
  }
  if (const std::string fault = consentFault(config.ebay, q); !fault.empty())
    return page(res, 400, "eBay - Error", "<p>" + escapeHtml(fault) + "</p>");
  if (req.method == "GET") return consentPage(res, q, "");

  const std::string acceptUrl =
      config.ebay.acceptUrl.empty() ? svc.sim.baseUrl() + "/ebay/accepted" : config.ebay.acceptUrl;
  const std::string state = q.count("state") ? "state=" + urlEncode(value(q, "state")) + "&" : "";
  if (value(q, "decision") != "agree") {
    const std::string declineUrl =
        config.ebay.declineUrl.empty() ? acceptUrl : config.ebay.declineUrl;
    return res.set_redirect(withQuery(declineUrl, state + "error=access_denied"));
  }
  const auto account = config.accounts.find(value(q, "userid"));
  if (account == config.accounts.end() || account->second != value(q, "pass"))
    return consentPage(res, q, "<p>Your sign-in information is not valid. Please try again.</p>\n");
  const std::string code = svc.newSecret();
  svc.codes[code] = {
      {account->first, splitScopes(value(q, "scope")), svc.sim.siteNowMs() + kCodeSeconds * 1000},
      config.ebay.ruName};
  res.set_redirect(withQuery(acceptUrl, state + "code=" + urlEncode(code) +
                                            "&expires_in=" + std::to_string(kCodeSeconds)));
}

}  // namespace

void registerTokenRoutes(Simulator& sim, const std::shared_ptr<Service>& svc) {
  sim.server().Post(
      "/identity/v1/oauth2/token",
      [svc](const httplib::Request& req, httplib::Response& res) { token(*svc, req, res); });
  const auto handler = [svc](const httplib::Request& req, httplib::Response& res) {
    consent(*svc, req, res);
  };
  sim.server().Get("/oauth2/authorize", handler);
  sim.server().Post("/oauth2/authorize", handler);
  // Stands in for the accept URL of a keyset that has no page of its own.
  sim.server().Get("/ebay/accepted", [](const httplib::Request&, httplib::Response& res) {
    page(res, 200, "eBay - Authorization successfully completed",
         "<p>Authorization successfully completed. You may close this window.</p>");
  });
}

}  // namespace sim::ebay
