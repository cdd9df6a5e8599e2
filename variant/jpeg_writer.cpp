// JPEG encoding of the canvas picture (pending).
