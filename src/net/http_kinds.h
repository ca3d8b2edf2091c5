// The failure kinds of an HTTP exchange and of a page download, beyond the system's kinds of
// platform/status.h: values of Status::Kind from Status::Kind::kFirstLayerKind up, so that
// one Status carries a failure from the socket up to the log line.
#ifndef TAVELIN_NET_HTTP_KINDS_H_
#define TAVELIN_NET_HTTP_KINDS_H_

#include "platform/status.h"

namespace tavelin {

struct HttpKind {
  static constexpr Status::Kind kDeadlinePassed =
      Status::LayerKind(0);  // the request took too long
  static constexpr Status::Kind kClosedEarly =
      Status::LayerKind(1);  // closed before the reply ended
  static constexpr Status::Kind kNotHttp =
      Status::LayerKind(2);  // the reply cannot be read as HTTP
  static constexpr Status::Kind kTooLarge = Status::LayerKind(3);  // larger than a page may be
  // The request would carry a line break inside a line; not sent.
  static constexpr Status::Kind kRequestRefused = Status::LayerKind(4);
  static constexpr Status::Kind kHttpStatus = Status::LayerKind(5);  // a whole reply, not a success
  static constexpr Status::Kind kRedirect = Status::LayerKind(6);    // a redirect, not followed
  static constexpr Status::Kind kEmptyReply =
      Status::LayerKind(7);  // a success without a body byte
  static constexpr Status::Kind kLoginRefused =
      Status::LayerKind(8);  // 401 after the login was answered
  static constexpr Status::Kind kUnknownLogin =
      Status::LayerKind(9);  // 401 without a login kind to answer
};

}  // namespace tavelin

#endif  // TAVELIN_NET_HTTP_KINDS_H_
