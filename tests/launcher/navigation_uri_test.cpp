#include "launcher/gtk/navigation_uri.h"

#include <gtest/gtest.h>

namespace sorvanta::gtk {
namespace {

TEST(NavigationUri, FilePathsBecomeEscapedFileUris) {
  EXPECT_EQ(navigation_uri("/opt/Veltrano/progetto_html/index.html"),
            "file:///opt/Veltrano/progetto_html/index.html");
  EXPECT_EQ(navigation_uri("/home/anna/Catalogo Veltrano/index.html"),
            "file:///home/anna/Catalogo%20Veltrano/index.html");
  EXPECT_EQ(navigation_uri("/home/anna/Catalogo è #1 100%?/index.html"),
            "file:///home/anna/Catalogo%20%C3%A8%20%231%20100%25%3F/index.html");
  EXPECT_EQ(navigation_uri("/a\\b/index.html"), "file:///a%5Cb/index.html")
      << "a backslash is a name's own byte";
}

TEST(NavigationUri, TheRootsDoubleSlashIsOneSeparator) {
  EXPECT_EQ(navigation_uri("//index.html"), "file:///index.html");
  EXPECT_EQ(navigation_uri("/srv//catalogo/index.html"), "file:///srv/catalogo/index.html");
}

TEST(NavigationUri, AnythingButAnAbsolutePathGoesUnchanged) {
  EXPECT_EQ(navigation_uri("file:///tmp/x%20y/index.html"), "file:///tmp/x%20y/index.html");
  EXPECT_EQ(navigation_uri("https://www.example.com/catalogo"), "https://www.example.com/catalogo");
  EXPECT_EQ(navigation_uri("C:\\Catalogo/index.html"), "C:\\Catalogo/index.html");
  EXPECT_EQ(navigation_uri(""), "");
}

TEST(NavigationUri, AFolderWhoseNameIsNotUtf8IsReachedThroughItsDescriptor) {
  const std::string latin1 = "/home/anna/Catalogo \xE8/index.html";
  EXPECT_EQ(folder_to_open(latin1), 21u);
  EXPECT_EQ(uri_through_descriptor(latin1, 21, 4321, 17), "file:///proc/4321/fd/17/index.html");
  EXPECT_EQ(folder_to_open("/srv/\xFF/catalogo/index.html"), 15u) << "the bad name higher up";
  for (const char* loads_as_it_is :
       {"/home/anna/Catalogo \xC3\xA8/index.html", "/home/anna/\xE8.html", "x/\xE8/a", ""})
    EXPECT_EQ(folder_to_open(loads_as_it_is), 0u) << loads_as_it_is;
}

}  // namespace
}  // namespace sorvanta::gtk
