// What is taken from a gateway's discovery answer and from its action's answer.
#include "netinfo/Upnp.h"

#include <gtest/gtest.h>

using netinfo::ExternalAddressOf;
using netinfo::SsdpLocation;

TEST(Upnp, ADiscoveryAnswerIsFollowedOnlyToTheDeviceThatSentIt)
{
    const std::string answer = "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\n"
                               "location:  http://192.168.1.1:5000/rootDesc.xml \r\n"
                               "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n";
    EXPECT_EQ(SsdpLocation(answer, "192.168.1.1"), "http://192.168.1.1:5000/rootDesc.xml");
    // Elsewhere, another scheme, or no location at all: nothing to fetch.
    EXPECT_EQ(SsdpLocation(answer, "192.168.1.7"), "");
    EXPECT_EQ(SsdpLocation("HTTP/1.1 200 OK\r\nLOCATION: http://203.0.113.9/d.xml\r\n\r\n", "192.168.1.1"),
              "");
    EXPECT_EQ(SsdpLocation("HTTP/1.1 200 OK\r\nLOCATION: file:///etc/passwd\r\n\r\n", "192.168.1.1"), "");
    EXPECT_EQ(SsdpLocation("HTTP/1.1 200 OK\r\nST: upnp:rootdevice\r\n\r\n", "192.168.1.1"), "");
}

TEST(Upnp, TheActionsAnswerGivesTheAddressOrSaysWhyNot)
{
    std::string error;
    EXPECT_EQ(ExternalAddressOf("<s:Envelope><s:Body><u:GetExternalIPAddressResponse>"
                                "<NewExternalIPAddress>203.0.113.45</NewExternalIPAddress>"
                                "</u:GetExternalIPAddressResponse></s:Body></s:Envelope>",
                                error),
              "203.0.113.45");
    EXPECT_EQ(error, "");
    const auto fault = [](const char* code) {
        return std::string("<s:Envelope><s:Body><s:Fault><detail><UPnPError><errorCode>") + code +
               "</errorCode></UPnPError></detail></s:Fault></s:Body></s:Envelope>";
    };
    EXPECT_EQ(ExternalAddressOf(fault("501"), error), "");
    EXPECT_EQ(error, "GetExternalIPAddress failed: Action Failed");
    EXPECT_EQ(ExternalAddressOf("<html>not an answer</html>", error), "");
    EXPECT_EQ(error, "GetExternalIPAddress failed: no address in the answer");
}
