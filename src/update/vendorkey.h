#pragma once

// The public half of the vendor's update-signing key (Ed25519, base64), made with
// "vendorsign keygen". Every update the vendor publishes is signed with its secret half, which
// never leaves the vendor and is not part of this source. endpoints.ini may name one further
// key (VendorKey=) for a server of one's own, such as the bundled simulator.
namespace vendorkey {
inline constexpr char kBuiltIn[] = "9se0qE+HAApmRIq5VLIv266dx9LwJC1a+D52kHVpgmE=";
}  // namespace vendorkey
