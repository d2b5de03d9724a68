// filled by the link work
