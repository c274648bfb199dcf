#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/simserver.h"

// The simulator's vendor folder: the update tests fetch from it; nothing outside it is served,
// however the name is spelled.
TEST(VendorFiles, servesNothingOutsideItsFolder) {
  QTemporaryDir vendor, outside;
  QFile secret(outside.path() + "/secret");
  ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
  secret.write("secret");
  secret.close();
  sim::Config config;
  config.vendorDir = vendor.path().toStdString();
  SimServer server(config);
  ASSERT_TRUE(server.ok());
  httplib::Client client("127.0.0.1", server.port());
  const std::string up =
      "/files/..%2F" + QFileInfo(outside.path()).fileName().toStdString() + "%2Fsecret";
  for (const std::string& path : {up, std::string("/files/%2Fetc%2Fpasswd"),
                                  std::string("/files/..%5Csecret"), std::string("/files/")}) {
    const auto res = client.Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 404) << path;
    EXPECT_EQ(res->body.find("secret"), std::string::npos) << path;
  }
}
