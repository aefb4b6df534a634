#pragma once

#include <httplib.h>

#include <string>

#include "files/file_content.h"
#include "text/refusal.h"

// How the viewer's server answers: the headers of every answer, whole
// answers and answers in pieces, refusals in JSON.
namespace driver {

// The headers of every answer: its Content-Security-Policy lets in the
// page's import map by `nonce`.
httplib::Headers SecurityHeaders(const std::string& nonce);
void Answer(httplib::Response& response, int status, std::string body, const std::string& type);
// `content` in pieces as they are made.
void AnswerInPieces(httplib::Response& response, FileContent content, const std::string& type);
void AnswerJson(httplib::Response& response, std::string json);
// A refusal, with the HTTP status of its code (or `status`).
void AnswerRefusal(httplib::Response& response, const Refusal& refusal, int status = 0);
// The refusal that stands for a status the library answered with.
Refusal LibraryRefusal(int status);
// The request as the handlers see it: no encoding and no range is taken.
void IgnoreEncodingsAndRanges(const httplib::Request& request);
void ReplaceFirst(std::string& text, const std::string& what, const std::string& with);

}  // namespace driver
