#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "bidding/inet.h"
#include "support/simserver.h"

namespace {
void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

struct Fetched {
  int status = 0;
  QByteArray body;
  QString length;
};

Fetched fetch(const SimServer& server, const QString& path) {
  Inet inet;
  Fetched f;
  QObject::connect(&inet, &Inet::StateChanged, [&](int state) {
    if (state != Inet::kResponseCompleted) return;
    for (QByteArray piece = inet.GetChunkBytes(1024); !piece.isEmpty();
         piece = inet.GetChunkBytes(1024))
      f.body += piece;
  });
  inet.Execute(server.baseUrl() + path);
  inet.waitWhileExecuting();
  f.status = inet.status();
  f.length = inet.GetHeader(QStringLiteral("Content-Length"));
  return f;
}
}  // namespace

TEST(VendorFiles, servesTheFolderWithItsLengthListsItsNamesAndNothingElse) {
  QTemporaryDir vendor, outside;
  QByteArray bytes;
  for (int i = 0; i < 3000; ++i) bytes.append(static_cast<char>(i % 256));
  writeFile(vendor.path() + "/b.bin", bytes);
  writeFile(vendor.path() + "/A.EXE", QByteArray(2000, 'c'));
  writeFile(outside.path() + "/secret", "secret");
  sim::Config config;
  config.vendorDir = vendor.path().toStdString();
  config.vendorVersion = "1.03.0007";
  config.truncatedFiles = {"A.EXE"};
  SimServer server(config);
  ASSERT_TRUE(server.ok());

  const Fetched bin = fetch(server, "/files/b.bin");
  EXPECT_EQ(bin.status, 200);
  EXPECT_EQ(bin.body, bytes);
  EXPECT_EQ(bin.length, QStringLiteral("3000"));
  EXPECT_EQ(fetch(server, "/files/update+").body, "1.03.0007");  // the version file stays
  // A truncated file announces its length, sends half of it and drops the connection.
  const Fetched cut = fetch(server, "/files/A.EXE");
  EXPECT_EQ(cut.length, QStringLiteral("2000"));
  EXPECT_EQ(cut.body, QByteArray(1000, 'c'));

  // Without a file of that name the list is made from the folder: sorted, no final line break.
  EXPECT_EQ(fetch(server, "/files/filelist").body, "A.EXE\r\nb.bin");
  writeFile(vendor.path() + "/filelist", "b.bin\r\n");
  EXPECT_EQ(fetch(server, "/files/filelist").body, "b.bin\r\n");

  EXPECT_EQ(fetch(server, "/files/nothing").status, 404);
  // Nothing outside the folder, however the name is spelled.
  httplib::Client client("127.0.0.1", server.port());
  const std::string up =
      "/files/..%2F" + QFileInfo(outside.path()).fileName().toStdString() + "%2Fsecret";
  for (const std::string& path : {up, std::string("/files/%2Fetc%2Fpasswd"),
                                  std::string("/files/..%5Csecret"), std::string("/files/")}) {
    const auto res = client.Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 404) << path;
    EXPECT_EQ(res->body.find("secret"), std::string::npos);
  }
}
